#pragma once

#include <cstddef>

namespace AssetExport {

// The size and items of a model's lists through their iterators alone, which every list type
// the model may hold them in offers.
template <class List>
size_t ItemCount(const List& list) {
  return size_t(list.end() - list.begin());
}

template <class List>
const auto& ItemAt(const List& list, size_t i) {
  return list.begin()[ptrdiff_t(i)];
}

}  // namespace AssetExport
