#pragma once
#include <cstdint>

// Crop table rows of the block and the per-source crop numbers.
struct CROP_PARA {
    int selector;   // filled by reads, ignored by writes
    int x;
    int y;
    int width;
    int height;
};

// 40 bits per source (6 sources): bit 40s + c - 1 is set when source s has
// a row in use with crop number c.
extern uint8_t g_cut_source_state[30];

// The crop operations on a block's crop table (rows 0..39 at byte 1472)
// and the bitmap. The k-th crop of a source (k from 1) is the k-th set bit
// in ascending crop-number order.
class CropTable {
public:
    static constexpr int kNotFound = 40;

    CropTable(uint8_t* block, uint8_t* bitmap) : block_(block), bitmap_(bitmap) {}

    // Rebuilds the bitmap; rows with a crop number above 40 or a source
    // above 5 are ignored.
    void rebuild();
    // Crop number of the k-th crop of source; 0 if none.
    int cropId(int source, int k) const;
    // The inverse: k of the source's crop with this number (its entry on
    // the pages); 0 if the source has no such crop.
    int rankOf(int source, int cropNumber) const;
    // Lowest unused crop number of source (1..40); 0 if all are used.
    int freeCropId(int source) const;
    // First row in use with this crop number and source; kNotFound if none.
    int findRow(int source, int cropNumber) const;
    // Row of the k-th crop of source; kNotFound if none.
    int rowOfCrop(int source, int k) const;
    // First row not in use; kNotFound if all are.
    int freeRow() const;
    // Rows 0..n-1 in use that belong to source (n clamped to 40).
    int countRows(int source, int n) const;

    uint16_t selector(int row) const;
    void readRow(int row, CROP_PARA* para) const;
    void writeRect(int row, const CROP_PARA* para);
    void writeRow(int row, uint16_t selector, const CROP_PARA* para);
    void setSelector(int row, uint16_t selector);

    static bool validSource(int source) { return source >= 0 && source < 6; }

private:
    bool bit(int source, int cropNumber) const;
    uint8_t* block_;
    uint8_t* bitmap_;
};
