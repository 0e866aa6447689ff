#pragma once

// The common root of the framework's plain objects: it only makes their destruction virtual.
class CObject {
public:
    CObject() = default;
    virtual ~CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
