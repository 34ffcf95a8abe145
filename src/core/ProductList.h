// The products whose packages a pinned client accepts, as an administrator lists them.
#pragma once

#include <string>
#include <vector>

// Compares two product names; the platform ignores the case of every letter, the default only ASCII's.
using ProductNameMatch = bool (*)(const std::u16string&, const std::u16string&);
bool SameNameIgnoringAsciiCase(const std::u16string& a, const std::u16string& b);

struct ProductList {
    enum class Status {
        None,  // not set: any product is accepted
        Names, // at least one name
        Empty, // set, but naming no product (only blanks and separators): nothing is accepted
    };
    Status status = Status::None;
    std::vector<std::u16string> names;

    // Without a list every name is accepted; with one only a listed name.
    bool Accepts(const std::u16string& product, ProductNameMatch same = SameNameIgnoringAsciiCase) const;
};

// Names separated by ";", blanks around each ignored. An empty text is no list.
ProductList ParseProductList(const std::u16string& text);
