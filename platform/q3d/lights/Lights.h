// Lights: the C++ side of QD3DLight.h. Each light keeps its data record as
// given (after checking it), and the renderer reads it from there.
#pragma once

#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/core/Object.h"

namespace q3d {

class Light : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeLight, &Shape::kClass};

    // What every light has.
    virtual const TQ3LightData& lightData() const = 0;
    // Replaces it; false, with an error posted and nothing changed, for bad
    // data (QD3DLight.h).
    virtual bool setLightData(const TQ3LightData& data) = 0;
};

// Validation of light records as QD3DLight.h states it: each posts the
// error and returns false for data it refuses.
bool checkLightData(const TQ3LightData& data) noexcept;
bool checkLightData(const TQ3DirectionalLightData& data) noexcept;
bool checkLightData(const TQ3PointLightData& data) noexcept;
bool checkLightData(const TQ3SpotLightData& data) noexcept;

// A light of one kind whose whole record is Data.
template <class Data, TQ3ObjectType kType>
class LightOf final : public Light {
public:
    static constexpr ClassInfo kClass{kType, &Light::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: checkLightData(data).
    explicit LightOf(const Data& data) : data_(data) {}

    const Data& data() const { return data_; }
    bool setData(const Data& data) {
        if (!checkLightData(data)) return false;
        data_ = data;
        return true;
    }

    const TQ3LightData& lightData() const override { return common(data_); }
    bool setLightData(const TQ3LightData& data) override {
        if (!checkLightData(data)) return false;
        common(data_) = data;
        return true;
    }

private:
    static TQ3LightData& common(TQ3LightData& data) { return data; }
    static const TQ3LightData& common(const TQ3LightData& data) { return data; }
    template <class Record>
    static TQ3LightData& common(Record& data) {
        return data.lightData;
    }
    template <class Record>
    static const TQ3LightData& common(const Record& data) {
        return data.lightData;
    }

    Data data_;
};

using AmbientLight = LightOf<TQ3LightData, kQ3LightTypeAmbient>;
using DirectionalLight = LightOf<TQ3DirectionalLightData, kQ3LightTypeDirectional>;
using PointLight = LightOf<TQ3PointLightData, kQ3LightTypePoint>;
using SpotLight = LightOf<TQ3SpotLightData, kQ3LightTypeSpot>;

}  // namespace q3d
