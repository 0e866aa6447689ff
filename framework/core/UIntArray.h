#pragma once

#include "framework/core/WinTypes.h"

#include <cassert>
#include <cstdint>
#include <vector>

using INT_PTR = std::intptr_t;

// A growable array of unsigned numbers with the framework's interface. The growth step is accepted for
// compatibility; the standard vector grows geometrically by itself, so the step changes nothing here.
class CUIntArray {
public:
    CUIntArray() = default;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_values.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_values.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }

    // New elements are zero; a smaller size drops the elements at the end.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1) {
        (void)growBy;
        assert(newSize >= 0);
        m_values.resize(newSize > 0 ? static_cast<std::size_t>(newSize) : 0);
    }
    void RemoveAll() { m_values.clear(); }

    // Appends a value and returns its index.
    INT_PTR Add(UINT value) {
        m_values.push_back(value);
        return GetUpperBound();
    }

    UINT GetAt(INT_PTR index) const { return m_values.at(static_cast<std::size_t>(index)); }
    void SetAt(INT_PTR index, UINT value) { m_values.at(static_cast<std::size_t>(index)) = value; }
    UINT& ElementAt(INT_PTR index) { return m_values.at(static_cast<std::size_t>(index)); }
    UINT operator[](INT_PTR index) const { return GetAt(index); }
    UINT& operator[](INT_PTR index) { return ElementAt(index); }

    const UINT* GetData() const { return m_values.data(); }

private:
    std::vector<UINT> m_values;
};
