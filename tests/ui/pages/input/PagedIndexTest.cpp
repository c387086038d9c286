#include "ui/pages/input/PagedIndex.h"

#include <gtest/gtest.h>

namespace {

// The two lists of the input pages: the input choice grid (three entries
// a page) and the crop list (the add button and six entries on page 0,
// six on every later page).
TEST(PagedIndexTest, StepsWrapOverPagesAsTheListsDo)
{
    const struct {
        const char* what;
        int count, perPage, firstPage;
        int page, position, delta;
        int wantPage, wantPosition;
    } cases[] = {
        {"grid of 5: Right from the last to entry 0", 5, 3, 3, 1, 1, 1, 0, 0},
        {"grid of 5: Left from entry 0 to the last", 5, 3, 3, 0, 0, -1, 1, 1},
        {"grid of 5: Right past a page end", 5, 3, 3, 0, 2, 1, 1, 0},
        {"grid of 5: Left to the previous page", 5, 3, 3, 1, 0, -1, 0, 2},
        {"grid of 1 stays", 1, 3, 3, 0, 0, 1, 0, 0},
        {"crops 6: Left from add to the sixth crop alone on page 1", 8, 6, 7, 0, 0, -1, 1, 0},
        {"crops 6: Left from page 1 to position 6 of page 0", 8, 6, 7, 1, 0, -1, 0, 6},
        {"crops 6: Right from page 1 to add", 8, 6, 7, 1, 0, 1, 0, 0},
        {"no crops: Right from the input to add", 2, 6, 7, 0, 1, 1, 0, 0},
        {"crops 12: Right past page 1's end", 14, 6, 7, 1, 5, 1, 2, 0},
    };
    for (const auto& c : cases) {
        const PagedIndex list(c.count, c.perPage, c.firstPage);
        const int next = list.step(list.indexOf(c.page, c.position), c.delta);
        EXPECT_EQ(list.page(next), c.wantPage) << c.what;
        EXPECT_EQ(list.position(next), c.wantPosition) << c.what;
    }
}

TEST(PagedIndexTest, LastPageAndItemsOnAPage)
{
    const struct {
        int count, perPage, firstPage, lastPage, onLast;
    } cases[] = {{1, 3, 3, 0, 1}, {3, 3, 3, 0, 3}, {4, 3, 3, 1, 1}, {41, 3, 3, 13, 2},
                 {7, 6, 7, 0, 7}, {8, 6, 7, 1, 1}, {13, 6, 7, 1, 6}, {14, 6, 7, 2, 1}};
    for (const auto& c : cases) {
        const PagedIndex list(c.count, c.perPage, c.firstPage);
        EXPECT_EQ(list.lastPage(), c.lastPage) << c.count;
        EXPECT_EQ(list.itemsOn(c.lastPage), c.onLast) << c.count;
        EXPECT_EQ(list.itemsOn(c.lastPage + 1), 0) << c.count;
    }
}

} // namespace
