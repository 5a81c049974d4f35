#include "shell/Messages.h"

#include "platform/os/SystemMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>

namespace vask {
namespace {

struct MessageEntry {
    int32_t number;
    const char* text;
};

// Every number with a text, ascending. Numbers of the four groups that are
// not listed (1025, 1029, 2051, …) have no text and read as "MSG(index)".
constexpr MessageEntry kMessages[] = {
    // Host error texts.
    {512, "After Effects internal structure damaged."},
    {513, "After Effects invalid index."},
    {514, "After Effects unrecognized param type."},
    {515, "After Effects invalid callback."},
    {516, "After Effects bad callback parameter."},
    {517, "After Effects interrupt cancel."},
    // Program messages.
    {1024, "Out of Memory"},
    {1026, "Incorrect Format."},
    {1027, "QuickDraw 3D failed to initialize."},
    {1028, "User canceled operation."},
    {1030, "Could not use 3DMF model file. %s."},
    {1038, "VASK requires QuickDraw 3D version 1.5 or greater."},
    {1039, "Could not open model for VASK File Object. %s."},
    // User-interface texts: parameter names, checkbox labels, popup choices,
    // the import button and the alert captions.
    {2050, "Vask"},
    {2063, "X Position"},
    {2064, "Y Position"},
    {2065, "Z Position"},
    {2066, "Intensity"},
    {2067, "Color"},
    {2068, "Hot Angle"},
    {2069, "Outer Angle"},
    {2070, "Attenuation"},
    {2071, "None|Inv Dist|Inv Dist Sq"},
    {2072, "Fall Off"},
    {2073, "None|Linear|Exp|Cos"},
    {2077, "X Translation"},
    {2078, "Y Translation"},
    {2079, "Z Translation"},
    {2080, "X Scale"},
    {2081, "Y Scale"},
    {2082, "Z Scale"},
    {2087, "Smooth"},
    {2088, "Texture"},
    {2089, "Height Field"},
    {2091, "Height From"},
    {2092, "Luminance|Red|Green|Blue|Alpha"},
    {2093, "Invert"},
    {2097, "Visible"},
    {2100, "Model"},
    {2103, "Manipulator"},
    {2106, "Left/Right"},
    {2107, "Up/Down"},
    {2109, "VASK Information"},
    {2110, "VASK Alert"},
    {2120, "Import..."},
    // The empty text.
    {4096, ""},
};

constexpr bool ascending(const MessageEntry* first, const MessageEntry* last) {
    for (const MessageEntry* e = first; e + 1 < last; ++e) {
        if (e->number >= (e + 1)->number) return false;
    }
    return true;
}
static_assert(ascending(std::begin(kMessages), std::end(kMessages)));

const char* findMessage(int32_t number) {
    const MessageEntry* end = std::end(kMessages);
    const MessageEntry* found = std::lower_bound(
        std::begin(kMessages), end, number,
        [](const MessageEntry& e, int32_t n) { return e.number < n; });
    return found != end && found->number == number ? found->text : nullptr;
}

// QuickDraw 3D 1.5's names for its error, warning and notice codes, without
// the common prefix (one keeps it, as QuickDraw 3D itself spelled it).
const Q3ErrorNameEntry kErrorNames[] = {
    {-28499, "NoRecovery"},
    {-28498, "LastFatalError"},
    {-28489, "AlreadyInitialized"},
    {-28488, "Unimplemented"},
    {-28487, "RegistrationFailed"},
    {-28486, "UnixError"},
    {-28485, "MacintoshError"},
    {-28484, "X11Error"},
    {-28483, "MemoryLeak"},
    {-28482, "OutOfMemory"},
    {-28481, "kQ3ErrorNULLParameter"},
    {-28480, "ParameterOutOfRange"},
    {-28479, "InvalidParameter"},
    {-28478, "InvalidData"},
    {-28477, "AcceleratorAlreadySet"},
    {-28476, "Vector3DNotUnitLength"},
    {-28475, "Vector3DZeroLength"},
    {-28474, "InvalidObject"},
    {-28473, "InvalidObjectClass"},
    {-28472, "InvalidObjectType"},
    {-28471, "InvalidObjectName"},
    {-28470, "ObjectClassInUse"},
    {-28469, "AccessRestricted"},
    {-28468, "MetaHandlerRequired"},
    {-28467, "NeedRequiredMethods"},
    {-28466, "NoSubClassType"},
    {-28465, "UnknownElementType"},
    {-28464, "NotSupported"},
    {-28463, "NoExtensionsFolder"},
    {-28462, "ExtensionError"},
    {-28461, "PrivateExtensionError"},
    {-28460, "DegenerateGeometry"},
    {-28459, "GeometryInsufficientNumberOfPoints"},
    {-28458, "NoStorageSetForFile"},
    {-28457, "EndOfFile"},
    {-28456, "FileCancelled"},
    {-28455, "InvalidMetafile"},
    {-28454, "InvalidMetafilePrimitive"},
    {-28453, "InvalidMetafileLabel"},
    {-28452, "InvalidMetafileObject"},
    {-28451, "InvalidMetafileSubObject"},
    {-28450, "InvalidSubObjectForObject"},
    {-28449, "UnresolvableReference"},
    {-28448, "UnknownObject"},
    {-28447, "StorageInUse"},
    {-28446, "StorageAlreadyOpen"},
    {-28445, "StorageNotOpen"},
    {-28444, "StorageIsOpen"},
    {-28443, "FileAlreadyOpen"},
    {-28442, "FileNotOpen"},
    {-28441, "FileIsOpen"},
    {-28440, "BeginWriteAlreadyCalled"},
    {-28439, "BeginWriteNotCalled"},
    {-28438, "EndWriteNotCalled"},
    {-28437, "ReadStateInactive"},
    {-28436, "StateUnavailable"},
    {-28435, "WriteStateInactive"},
    {-28434, "SizeNotLongAligned"},
    {-28433, "FileModeRestriction"},
    {-28432, "InvalidHexString"},
    {-28431, "WroteMoreThanSize"},
    {-28430, "WroteLessThanSize"},
    {-28429, "ReadLessThanSize"},
    {-28428, "ReadMoreThanSize"},
    {-28427, "NoBeginGroup"},
    {-28426, "SizeMismatch"},
    {-28425, "StringExceedsMaximumLength"},
    {-28424, "ValueExceedsMaximumSize"},
    {-28423, "NonUniqueLabel"},
    {-28422, "EndOfContainer"},
    {-28421, "UnmatchedEndGroup"},
    {-28420, "FileVersionExists"},
    {-28419, "ViewNotStarted"},
    {-28418, "ViewIsStarted"},
    {-28417, "RendererNotSet"},
    {-28416, "RenderingIsActive"},
    {-28415, "ImmediateModeUnderflow"},
    {-28414, "DisplayNotSet"},
    {-28413, "CameraNotSet"},
    {-28412, "DrawContextNotSet"},
    {-28411, "NonInvertibleMatrix"},
    {-28410, "RenderingNotStarted"},
    {-28409, "PickingNotStarted"},
    {-28408, "BoundsNotStarted"},
    {-28407, "DataNotAvailable"},
    {-28406, "NothingToPop"},
    {-28405, "UnknownStudioType"},
    {-28404, "AlreadyRendering"},
    {-28403, "StartGroupRange"},
    {-28402, "UnsupportedGeometryType"},
    {-28401, "InvalidGeometryType"},
    {-28400, "UnsupportedFunctionality"},
    {-28399, "InvalidPositionForGroup"},
    {-28398, "InvalidObjectForGroup"},
    {-28397, "InvalidObjectForPosition"},
    {-28396, "ScaleOfZero"},
    {-28395, "BadStringType"},
    {-28394, "AttributeNotContained"},
    {-28393, "AttributeInvalidType"},
    {-28392, "InvalidCameraValues"},
    {-28391, "BadDrawContextType"},
    {-28390, "BadDrawContextFlag"},
    {-28389, "BadDrawContext"},
    {-28388, "UnsupportedPixelDepth"},
    {-28387, "Controller"},
    {-28386, "Tracker"},
    {-28385, "Win32Error"},
    {-28384, "TypeAlreadyExistsAndHasSubclasses"},
    {-28383, "TypeAlreadyExistsAndOtherClassesDependOnIt"},
    {-28382, "TypeAlreadyExistsAndHasObjectInstances"},
    {-28381, "PickingLoopFailed"},
    {-28380, "RenderingLoopFailed"},
    {-28379, "WritingLoopFailed"},
    {-28378, "BoundingLoopFailed"},
    {0, nullptr},
};

const Q3ErrorNameEntry kWarningNames[] = {
    {-28299, "NoObjectSupportForDuplicateMethod"},
    {-28298, "NoObjectSupportForDrawMethod"},
    {-28297, "NoObjectSupportForWriteMethod"},
    {-28296, "NoObjectSupportForReadMethod"},
    {-28295, "UnknownElementType"},
    {-28294, "TypeAndMethodAlreadyDefined"},
    {-28293, "TypeIsOutOfRange"},
    {-28292, "TypeHasNotBeenRegistered"},
    {-28291, "Vector3DNotUnitLength"},
    {-28290, "InvalidSubObjectForObject"},
    {-28289, "InvalidHexString"},
    {-28288, "UnknownObject"},
    {-28287, "InvalidMetafileObject"},
    {-28286, "UnmatchedBeginGroup"},
    {-28285, "UnmatchedEndGroup"},
    {-28284, "InvalidTableOfContents"},
    {-28283, "UnresolvableReference"},
    {-28282, "NoAttachMethod"},
    {-28281, "InconsistentData"},
    {-28280, "ReadLessThanSize"},
    {-28279, "FilePointerResolutionFailed"},
    {-28278, "FilePointerRedefined"},
    {-28277, "StringExceedsMaximumLength"},
    {-28276, "LowMemory"},
    {-28275, "PossibleMemoryLeak"},
    {-28274, "ViewTraversalInProgress"},
    {-28273, "NonInvertibleMatrix"},
    {-28272, "QuaternionEntriesAreZero"},
    {-28271, "FunctionalityNotSupported"},
    {-28270, "InvalidPaneDimensions"},
    {-28269, "PickParamOutside"},
    {-28268, "ScaleEntriesAllZero"},
    {-28267, "ScaleContainsNegativeEntries"},
    {-28266, "ParameterOutOfRange"},
    {-28265, "ExtensionNotLoading"},
    {-28264, "TypeAlreadyRegistered"},
    {-28263, "TypeSameVersionAlreadyRegistered"},
    {-28262, "TypeNewerVersionAlreadyRegistered"},
    {-28261, "InvalidObjectInGroupMetafile"},
    {0, nullptr},
};

const Q3ErrorNameEntry kNoticeNames[] = {
    {-28099, "MethodNotSupported"},
    {-28098, "ObjectAlreadySet"},
    {-28097, "ParameterOutOfRange"},
    {-28096, "FileAliasWasChanged"},
    {-28095, "MeshVertexHasNoComponent"},
    {-28094, "MeshInvalidVertexFacePair"},
    {-28093, "MeshEdgeVertexDoNotCorrespond"},
    {-28092, "MeshEdgeIsNotBoundary"},
    {-28091, "DrawContextNotSetUsingInternalDefaults"},
    {-28090, "InvalidAttenuationTypeUsingInternalDefaults"},
    {-28089, "BrightnessGreaterThanOne"},
    {-28088, "ScaleContainsZeroEntries"},
    {-28087, "SystemAlreadyInitialized"},
    {-28086, "ViewSyncCalledAgain"},
    {-28085, "FileCancelled"},
    {0, nullptr},
};
const Q3ErrorNameEntry* const kNameTables[] = {kErrorNames, kWarningNames, kNoticeNames};

// Entries of each table before its terminator, counted at first use.
int32_t gNameCounts[3] = {-1, -1, -1};

const char* searchNames(int which, int32_t code) {
    const Q3ErrorNameEntry* table = kNameTables[which];
    if (gNameCounts[which] < 0) {
        int32_t n = 0;
        while (table[n].name != nullptr) ++n;
        gNameCounts[which] = n;
    }
    int32_t low = 0;
    int32_t high = gNameCounts[which] - 1;
    while (low <= high) {
        int32_t mid = low + (high - low) / 2;
        if (table[mid].code == code) return table[mid].name;
        if (table[mid].code < code) low = mid + 1;
        else high = mid - 1;
    }
    return nullptr;
}

}  // namespace

void messageText(int32_t number, char (&out)[kMessageTextSize]) {
    if (number < 0) {
        std::snprintf(out, sizeof out, "OS error %d", number);
        return;
    }
    if (const char* text = findMessage(number)) {
        std::snprintf(out, sizeof out, "%s", text);
        return;
    }
    std::snprintf(out, sizeof out, "MSG(%d)", number & 0xFF);
}

String messageString(int32_t number) { return String(number); }

const char* systemMessageText(int32_t code) {
    static char buffer[128];
    // The library's own message resources come first in the lookup; ours carry
    // none, so the system's table is the only source.
    std::optional<std::string> text = os::systemMessage(code);
    if (!text) {
        std::snprintf(buffer, sizeof buffer, "MSG%08X", static_cast<unsigned>(code));
        return buffer;
    }
    std::size_t length = text->find_last_not_of("\r\n");
    length = length == std::string::npos ? 0 : length + 1;
    length = std::min(length, sizeof buffer - 1);
    std::memcpy(buffer, text->data(), length);
    buffer[length] = '\0';
    return buffer;
}

const char* q3dErrorName(int32_t code) {
    for (int which = 0; which < 3; ++which) {
        if (const char* name = searchNames(which, code)) return name;
    }
    static char decimal[16];
    std::snprintf(decimal, sizeof decimal, "%d", code);
    return decimal;
}

const Q3ErrorNameEntry* q3ErrorNameTable(Q3NameTable which) {
    static const Q3ErrorNameEntry kNoNames[] = {{0, nullptr}};
    int index = static_cast<int>(which);
    return index >= 0 && index < 3 ? kNameTables[index] : kNoNames;
}

}  // namespace vask
