// The relief mesh's texture: the "Texture" layer's pixels laid over the grid
// as a QuickDraw 3D pixmap texture, stretched once over the whole grid by
// the vertices' surface UVs (HeightGrid.h), whatever the two layers' sizes.
//
// The pixels live in the record's `pixelBuffer`, one buffer per sequence,
// reused from frame to frame and only ever grown. The texture's storage
// reads that buffer in place (Q3MemoryStorage_NewBuffer), so the buffer must
// outlive every storage over it: a grown buffer replaces the old one only
// once the texture has been given the new pixels, and until then the old
// buffer stays where the texture reads it. [frame setup]
#pragma once

#include "platform/q3d/QD3D.h"
#include "plugins/shapemesh/LayerImage.h"
#include "plugins/shapemesh/ObjectRecord.h"
#include "scene/builders/ObjectRef.h"
#include "shell/Memory.h"

namespace vask {

// A layer's pixels converted for QuickDraw 3D, with the storage pixmap that
// describes them (layerToPixmap).
//
// Conversion: each 32-bit pixel, bytes alpha, red, green, blue in memory, is
// stored with its bytes reversed (blue, green, red, alpha), the
// little-endian form of the ARGB value. Whole rows are converted, padding
// included, each at its own byte offset; when rowbytes is not a multiple of
// 4, the last 1 to 3 bytes of each row (padding) are copied unchanged.
//
// The pixmap: image a new memory storage over the converted bytes (size =
// height × rowbytes), the layer's width, height and rowbytes, 32 bits,
// kQ3PixelTypeARGB32, little-endian bit and byte order.
class LayerPixmap {
 public:
  // Converts `layer` (which must have pixels) into the record's buffer, or
  // into a new one of exactly the size needed when that is larger than the
  // buffer. Raises 1024 ("Out of Memory") when the new buffer cannot be
  // allocated, or the image is larger than a storage can describe (4 GiB);
  // raises the QuickDraw 3D error when the storage cannot be made. On any
  // failure the record is unchanged.
  LayerPixmap(ObjectSequenceRecord& record, const LayerImage& layer);
  LayerPixmap(const LayerPixmap&) = delete;
  LayerPixmap& operator=(const LayerPixmap&) = delete;

  // Owned by this object; a texture given it takes its own reference.
  const TQ3StoragePixmap& pixmap() const { return pixmap_; }

  // Call once the texture uses pixmap(): a new buffer then replaces the
  // record's (the old one is freed). Without commit, a new buffer is freed
  // with this object and the record keeps the old one.
  void commit() noexcept;

 private:
  ObjectSequenceRecord& record_;
  MemoryBlock grown_;  // before storage_: the storage over it goes first
  ObjectRef storage_;
  TQ3StoragePixmap pixmap_{};
};

// A new texture shader over a new pixmap texture of `layer` (which must have
// pixels). The caller owns the shader; it holds the only reference to its
// texture.
TQ3ShaderObject makeTextureShader(ObjectSequenceRecord& record, const LayerImage& layer);

// Gives the texture of `record.surfaceShader` (a texture shader) the current
// pixels of `layer` (which must have pixels), whatever their size.
void refreshTexture(ObjectSequenceRecord& record, const LayerImage& layer);

}  // namespace vask
