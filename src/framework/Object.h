// Root of the class tree: a run-time class name and an optional creation function.
#pragma once

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();
    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

class CObject {
  public:
    // Every class of the tree answers with its name; nothing in the program asks yet.
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    virtual ~CObject() = default;

    static inline const CRuntimeClass classCObject{"CObject", nullptr};

  protected:
    CObject() = default;
};

// Declares/defines the run-time class of a class derived from CObject.
#define PM_DECLARE_RUNTIME_CLASS()                                                                           \
  public:                                                                                                    \
    static const CRuntimeClass runtimeClass;                                                                 \
    const CRuntimeClass* GetRuntimeClass() const override {                                                  \
        return &runtimeClass;                                                                                \
    }

#define PM_IMPLEMENT_RUNTIME_CLASS(cls, name, creator)                                                       \
    const CRuntimeClass cls::runtimeClass = {name, creator};
