#include "ui/pages/input/PagedIndex.h"

#include <algorithm>

PagedIndex::PagedIndex(int count, int perPage, int firstPage)
    : count_(std::max(0, count)), perPage_(std::max(1, perPage)), firstPage_(std::max(1, firstPage))
{
}

int PagedIndex::page(int index) const
{
    return index < firstPage_ ? 0 : 1 + (index - firstPage_) / perPage_;
}

int PagedIndex::position(int index) const
{
    return index < firstPage_ ? index : (index - firstPage_) % perPage_;
}

int PagedIndex::indexOf(int page, int position) const
{
    return page == 0 ? position : firstPage_ + (page - 1) * perPage_ + position;
}

int PagedIndex::itemsOn(int page) const
{
    const int first = indexOf(page, 0);
    const int size = page == 0 ? firstPage_ : perPage_;
    return std::clamp(count_ - first, 0, size);
}

int PagedIndex::step(int index, int delta) const
{
    if (count_ == 0)
        return 0;
    const int next = (index + delta) % count_;
    return next < 0 ? next + count_ : next;
}
