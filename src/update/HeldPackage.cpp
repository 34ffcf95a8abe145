#include "HeldPackage.h"

namespace {
bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

HANDLE OpenShared(const CString& path, DWORD access, DWORD share) {
    return ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

bool CHeldPackage::Open(const CString& path) {
    Release();
    // Read sharing only: nobody may change, replace or delete the file, yet the system can run it.
    m_file.Reset(OpenShared(path, GENERIC_READ, FILE_SHARE_READ));
    if (!m_file)
        return false;
    m_path = path;
    return true;
}

bool CHeldPackage::TakeOver(CHandle writer, const CString& path) {
    Release();
    // The writer's access keeps every other open from sharing less than everything, and a program
    // cannot be started while anyone may write it: the hold proper can only be opened once the writer
    // has gone. Meanwhile an image section of the file keeps the system from letting anyone open it for
    // writing, and the hold must turn out to be the file the writer wrote.
    CHandle reader(OpenShared(path, GENERIC_READ | GENERIC_EXECUTE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    if (!writer || !reader || !SameFile(reader.Get(), writer.Get()))
        return false;
    CHandle image(::CreateFileMappingA(reader.Get(), nullptr, SEC_IMAGE | PAGE_READONLY, 0, 0, nullptr));
    writer.Close();
    if (!Open(path) || !SameFile(m_file.Get(), reader.Get())) {
        Release();
        return false;
    }
    // Without the section (no program image) someone could have written in between: the caller checks
    // the bytes again.
    m_writtenBytesKept = static_cast<bool>(image);
    m_image = std::move(image);
    return true;
}

void CHeldPackage::Release() {
    m_file.Close();
    m_image.Close();
    m_path.clear();
    m_writtenBytesKept = false;
}
