#include "PathUtil.h"

LeadByteTest LeadByteTestOf(UINT codePage) {
    return [codePage](unsigned char byte) { return ::IsDBCSLeadByteEx(codePage, byte) != FALSE; };
}

CString JoinPath(const CString& directory, const CString& name, UINT codePage) {
    return JoinPath(directory, name, LeadByteTestOf(codePage));
}

CString DirectoryOf(const CString& path, UINT codePage) {
    return DirectoryOf(path, LeadByteTestOf(codePage));
}
