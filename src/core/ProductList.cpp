#include "ProductList.h"

#include "AsciiCase.h"

namespace {
bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
} // namespace

bool SameNameIgnoringAsciiCase(const std::u16string& a, const std::u16string& b) {
    return SameIgnoringAsciiCase(a, b);
}

bool ProductList::Accepts(const std::u16string& product, ProductNameMatch same) const {
    if (status == Status::None)
        return true;
    for (const std::u16string& name : names) {
        if (same(name, product))
            return true;
    }
    return false;
}

ProductList ParseProductList(const std::u16string& text) {
    ProductList list;
    if (text.empty())
        return list;
    list.status = ProductList::Status::Empty;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u';', start);
        if (end == std::u16string::npos)
            end = text.size();
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && IsBlank(text[first]))
            ++first;
        while (last > first && IsBlank(text[last - 1]))
            --last;
        if (last > first)
            list.names.push_back(text.substr(first, last - first));
        start = end + 1;
    }
    if (!list.names.empty())
        list.status = ProductList::Status::Names;
    return list;
}
