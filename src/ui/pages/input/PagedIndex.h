#pragma once

// Entries shown a page at a time, with the focus as one index over all of
// them: page 0 holds the first `firstPage` items, every later page `perPage`.
// Left and Right step the index with wrap-around, so the last position of a
// page is followed by the first of the next and the last item by the first.
class PagedIndex {
public:
    PagedIndex(int count, int perPage, int firstPage);
    PagedIndex(int count, int perPage) : PagedIndex(count, perPage, perPage) {}

    int count() const { return count_; }
    int page(int index) const;
    int position(int index) const;
    // The index at a page position (may lie past the last item).
    int indexOf(int page, int position) const;
    int lastPage() const { return count_ > 0 ? page(count_ - 1) : 0; }
    // Items shown on a page (0 past the last page).
    int itemsOn(int page) const;
    // index + delta with wrap-around over all items.
    int step(int index, int delta) const;

private:
    int count_;
    int perPage_;
    int firstPage_;
};
