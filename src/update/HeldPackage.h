// A fetched package held from its checks until its process has started: nobody else can write, rename
// or delete it meanwhile, so what was checked is what runs. The system can still open it to start it.
#pragma once

#include "framework/Afx.h"
#include "framework/Handles.h"

class CHeldPackage {
  public:
    // Opens the file for reading, sharing reading only. FALSE when another program holds it open for
    // writing or deleting, or it is not there.
    bool Open(const CString& path);
    // Takes over the handle that wrote the file at path (reading, writing and delete access, sharing
    // reading only) and trades it for the hold of Open without a moment in which another program could
    // replace the file. FALSE, nothing held, when that cannot be done.
    bool TakeOver(CHandle writer, const CString& path);
    void Release();

    bool Holds(const CString& path) const { return m_file && path == m_path; }
    HANDLE Get() const { return m_file.Get(); }
    // After TakeOver: no other program could write the file at any moment since the writer wrote it, so
    // its bytes are the ones written (and hashed) then.
    bool WrittenBytesKept() const { return m_writtenBytesKept; }

  private:
    CString m_path;
    CHandle m_file;
    CHandle m_image; // pins the bytes while the writer gives way to the hold
    bool m_writtenBytesKept = false;
};
