// The magic table and the window placement record of the project file.
#include "ProjectFormat.h"

namespace projectfile {

const char* const kMagic[kNewestVersion] = {
    "KVTessaraFolder1", "KVTessaraFolder2", "KVTessaraFolder3", "KVTessaraFolder4",
    "KVTessaraFolder5", "KVTessaraFolder6", "KVTessaraFolder7", "KVTessaraFolder8",
    "KVTessaraFolder9", "KVTFolder10     ",
};

void ReadPlacement(ByteReader& reader, WINDOWPLACEMENT& placement) {
    placement.length = reader.U32();
    placement.flags = reader.U32();
    placement.showCmd = reader.U32();
    placement.ptMinPosition.x = reader.I32();
    placement.ptMinPosition.y = reader.I32();
    placement.ptMaxPosition.x = reader.I32();
    placement.ptMaxPosition.y = reader.I32();
    placement.rcNormalPosition.left = reader.I32();
    placement.rcNormalPosition.top = reader.I32();
    placement.rcNormalPosition.right = reader.I32();
    placement.rcNormalPosition.bottom = reader.I32();
}

void WritePlacement(ByteWriter& writer, const WINDOWPLACEMENT& placement) {
    writer.U32(placement.length);
    writer.U32(placement.flags);
    writer.U32(placement.showCmd);
    writer.I32(placement.ptMinPosition.x);
    writer.I32(placement.ptMinPosition.y);
    writer.I32(placement.ptMaxPosition.x);
    writer.I32(placement.ptMaxPosition.y);
    writer.I32(placement.rcNormalPosition.left);
    writer.I32(placement.rcNormalPosition.top);
    writer.I32(placement.rcNormalPosition.right);
    writer.I32(placement.rcNormalPosition.bottom);
}

}  // namespace projectfile
