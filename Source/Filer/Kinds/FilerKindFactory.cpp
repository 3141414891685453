// Makes the kind object of a folder kind. Every kind is served by the plain kind until the music
// and image kinds exist; CKvFiler::SelectKind then replaces the object whenever the kind differs.
#include <new>

#include "Filer/Kinds/FilerNormal.h"

std::unique_ptr<CFilerKind> MakeFilerKind(unsigned kind) {
    return std::unique_ptr<CFilerKind>(new (std::nothrow) CFilerNormal());
}
