// Makes the kind object of a folder kind; CKvFiler::SelectKind replaces the object whenever the
// kind differs.
#include <new>

#include "Filer/Kinds/FilerImage.h"
#include "Filer/Kinds/FilerMusic.h"
#include "Filer/Kinds/FilerNormal.h"

std::unique_ptr<CFilerKind> MakeFilerKind(unsigned kind) {
    switch (kind) {
    case kFolderKindMusic:
        return std::unique_ptr<CFilerKind>(new (std::nothrow) CFilerMusic());
    case kFolderKindImage:
        return std::unique_ptr<CFilerKind>(new (std::nothrow) CFilerImage());
    default:
        return std::unique_ptr<CFilerKind>(new (std::nothrow) CFilerNormal());
    }
}
