#include "JpegTurn.h"

#include "Limits.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

namespace tessary {

namespace {

// libjpeg reports a failure by calling error_exit, which must not return: it jumps back to
// the one function that called into libjpeg. Those functions hold no object with a
// destructor, so that the jump skips none.
struct Failure
{
    jpeg_error_mgr manager; // first, so that libjpeg's pointer to it points to the whole
    std::jmp_buf jump;
    int warnings = 0;
};

void jumpBack(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1);
}

// Warnings (negative levels) say the data is damaged: libjpeg went on with made-up data.
void countWarning(j_common_ptr info, int level)
{
    if (level < 0)
        ++reinterpret_cast<Failure*>(info->err)->warnings;
}

void sayNothing(j_common_ptr) {}

void prepare(Failure& failure)
{
    jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jumpBack;
    failure.manager.emit_message = countWarning;
    failure.manager.output_message = sayNothing;
}

struct Decoder
{
    jpeg_decompress_struct info{};
    Failure failure;
    bool created = false;
    jvirt_barray_ptr* arrays = nullptr;

    Decoder()
    {
        prepare(failure);
        info.err = &failure.manager;
    }
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

struct Encoder
{
    jpeg_compress_struct info{};
    Failure failure;
    bool created = false;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    Encoder()
    {
        prepare(failure);
        info.err = &failure.manager;
    }
    ~Encoder()
    {
        if (created)
            jpeg_destroy_compress(&info);
        std::free(buffer);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

bool readStream(Decoder* d, const std::vector<std::uint8_t>* tables,
                const std::vector<std::uint8_t>* data)
{
    if (setjmp(d->failure.jump))
        return false;
    jpeg_create_decompress(&d->info);
    d->created = true;
    // Memory beyond what one block of the page may take is refused, as any allocation.
    d->info.mem->max_memory_to_use = long(maxAllocationBytes);
    if (!tables->empty()) {
        jpeg_mem_src(&d->info, tables->data(), (unsigned long)tables->size());
        jpeg_read_header(&d->info, FALSE);
    }
    jpeg_mem_src(&d->info, data->data(), (unsigned long)data->size());
    if (jpeg_read_header(&d->info, TRUE) != JPEG_HEADER_OK)
        return false;
    d->arrays = jpeg_read_coefficients(&d->info);
    return d->arrays != nullptr;
}

// Where the blocks of one stream go in the arrays of the whole page.
struct Placement
{
    JCOEF* page[MAX_COMPONENTS];
    std::size_t pageWidth[MAX_COMPONENTS]; // blocks a row of the page
    std::size_t column[MAX_COMPONENTS];    // of the stream's first block
    std::size_t row[MAX_COMPONENTS];
    std::size_t width[MAX_COMPONENTS]; // blocks a row of the stream
    std::size_t rows[MAX_COMPONENTS];
};

bool copyOut(Decoder* d, const Placement* at)
{
    if (setjmp(d->failure.jump))
        return false;
    for (int c = 0; c < d->info.num_components; ++c) {
        for (std::size_t r = 0; r < at->rows[c]; ++r) {
            JBLOCKARRAY rows = (*d->info.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&d->info), d->arrays[c], JDIMENSION(r), 1, FALSE);
            std::memcpy(at->page[c] + ((at->row[c] + r) * at->pageWidth[c] + at->column[c]) * 64,
                        rows[0], at->width[c] * sizeof(JBLOCK));
        }
    }
    return true;
}

// Fills row `row` (count blocks) of component c of the stream being written.
using FillRow = void (*)(const void* context, int c, std::size_t row, JBLOCKROW out,
                         std::size_t count);

struct Output
{
    std::uint32_t width;
    std::uint32_t height;
    int samplingH[MAX_COMPONENTS];
    int samplingV[MAX_COMPONENTS];
    std::size_t blockWidth[MAX_COMPONENTS]; // of the arrays, rounded up to whole MCUs
    std::size_t blockRows[MAX_COMPONENTS];
    FillRow fill;
    const void* context;
};

bool writeStream(Encoder* e, Decoder* reference, const Output* out)
{
    if (setjmp(e->failure.jump))
        return false;
    jpeg_create_compress(&e->info);
    e->created = true;
    jpeg_copy_critical_parameters(&reference->info, &e->info);
    e->info.image_width = out->width;
    e->info.image_height = out->height;
    jvirt_barray_ptr arrays[MAX_COMPONENTS];
    for (int c = 0; c < e->info.num_components; ++c) {
        e->info.comp_info[c].h_samp_factor = out->samplingH[c];
        e->info.comp_info[c].v_samp_factor = out->samplingV[c];
        // The encoder reads a row of MCUs at a time.
        arrays[c] = (*e->info.mem->request_virt_barray)(
            reinterpret_cast<j_common_ptr>(&e->info), JPOOL_IMAGE, FALSE,
            JDIMENSION(out->blockWidth[c]), JDIMENSION(out->blockRows[c]),
            JDIMENSION(out->samplingV[c]));
    }
    // The stream of a strip or tile of a TIFF file carries no file header of its own. Its
    // Huffman tables are made for its own coefficients: moved and transposed, they need
    // codes that tables made for the original may lack.
    e->info.write_JFIF_header = FALSE;
    e->info.write_Adobe_marker = FALSE;
    e->info.optimize_coding = e->info.arith_code ? FALSE : TRUE;
    jpeg_mem_dest(&e->info, &e->buffer, &e->size);
    jpeg_write_coefficients(&e->info, arrays);
    for (int c = 0; c < e->info.num_components; ++c) {
        for (std::size_t r = 0; r < out->blockRows[c]; ++r) {
            JBLOCKARRAY rows = (*e->info.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&e->info), arrays[c], JDIMENSION(r), 1, TRUE);
            out->fill(out->context, c, r, rows[0], out->blockWidth[c]);
        }
    }
    jpeg_finish_compress(&e->info);
    return true;
}

std::size_t ceilDiv(std::size_t a, std::size_t b)
{
    return (a + b - 1) / b;
}

std::size_t roundUp(std::size_t a, std::size_t b)
{
    return ceilDiv(a, b) * b;
}

// The coefficients of the whole page, component by component, and how the turned page's
// blocks are taken from them.
struct Page
{
    int components = 0;
    int h[MAX_COMPONENTS] = {};
    int v[MAX_COMPONENTS] = {};
    int maxH = 1;
    int maxV = 1;
    std::vector<JCOEF> blocks[MAX_COMPONENTS];
    std::size_t width[MAX_COMPONENTS] = {}; // blocks a row, as stored
    std::size_t rows[MAX_COMPONENTS] = {};
    // The blocks the image itself covers.
    std::size_t imageWidth[MAX_COMPONENTS] = {};
    std::size_t imageRows[MAX_COMPONENTS] = {};
    Turn turn;
};

// The block of the turned page at row y, column x (in blocks of component c), or null
// where the original has none (beyond the page's blocks).
const JCOEF* sourceBlock(const Page& p, int c, std::size_t x, std::size_t y)
{
    const auto along = [](std::size_t i, std::size_t n, bool mirror) -> std::ptrdiff_t {
        return mirror ? std::ptrdiff_t(n) - 1 - std::ptrdiff_t(i) : std::ptrdiff_t(i);
    };
    const Turn& t = p.turn;
    const std::ptrdiff_t row = along(t.transpose ? x : y, p.imageRows[c], t.mirrorRows);
    const std::ptrdiff_t column = along(t.transpose ? y : x, p.imageWidth[c], t.mirrorColumns);
    if (row < 0 || column < 0 || std::size_t(row) >= p.rows[c] || std::size_t(column) >= p.width[c])
        return nullptr;
    return p.blocks[c].data() + (std::size_t(row) * p.width[c] + std::size_t(column)) * 64;
}

struct Fill
{
    const Page* page;
    std::size_t column[MAX_COMPONENTS]; // where the stream's first block lies in the page
    std::size_t row[MAX_COMPONENTS];
};

void fillRow(const void* context, int c, std::size_t row, JBLOCKROW out, std::size_t count)
{
    const auto* fill = static_cast<const Fill*>(context);
    const Page& p = *fill->page;
    const Turn& t = p.turn;
    for (std::size_t i = 0; i < count; ++i) {
        JCOEF* to = out[i];
        const JCOEF* from = sourceBlock(p, c, fill->column[c] + i, fill->row[c] + row);
        if (!from) {
            std::fill(to, to + 64, JCOEF(0));
            continue;
        }
        // A mirrored row or column order turns the sign of the odd frequencies across it;
        // a transposition swaps the frequencies.
        for (int v = 0; v < 8; ++v) {
            for (int u = 0; u < 8; ++u) {
                const int a = t.transpose ? u : v; // the original's vertical frequency
                const int b = t.transpose ? v : u;
                const bool negate = ((a & 1) && t.mirrorRows) != ((b & 1) && t.mirrorColumns);
                const JCOEF value = from[a * 8 + b];
                to[v * 8 + u] = negate ? JCOEF(-value) : value;
            }
        }
    }
}

bool sameTables(const jpeg_decompress_struct& a, const jpeg_decompress_struct& b)
{
    if (a.num_components != b.num_components || a.data_precision != b.data_precision)
        return false;
    for (int c = 0; c < a.num_components; ++c) {
        const jpeg_component_info& x = a.comp_info[c];
        const jpeg_component_info& y = b.comp_info[c];
        if (x.component_id != y.component_id || x.h_samp_factor != y.h_samp_factor ||
            x.v_samp_factor != y.v_samp_factor || x.quant_tbl_no != y.quant_tbl_no)
            return false;
        const JQUANT_TBL* p = a.quant_tbl_ptrs[x.quant_tbl_no];
        const JQUANT_TBL* q = b.quant_tbl_ptrs[y.quant_tbl_no];
        if (!p || !q || std::memcmp(p->quantval, q->quantval, sizeof p->quantval) != 0)
            return false;
    }
    return true;
}

} // namespace

std::optional<TurnedJpeg> turnJpeg(const JpegPage& page, const Turn& turn, JpegTurnRefusal& refusal)
{
    refusal = JpegTurnRefusal::Unreadable;
    if (page.blocks.empty() || page.width == 0 || page.height == 0 || page.blockWidth == 0 ||
        page.blockHeight == 0)
        return std::nullopt;
    const std::size_t across = page.tiled ? ceilDiv(page.width, page.blockWidth) : 1;
    const std::size_t down = ceilDiv(page.height, page.blockHeight);
    if (page.blocks.size() != across * down)
        return std::nullopt;

    // The first stream stays open: the turned streams take its tables and components.
    Decoder first;
    Page p;
    p.turn = turn;
    for (std::size_t i = 0; i < page.blocks.size(); ++i) {
        Decoder other;
        Decoder& d = i == 0 ? first : other;
        if (!readStream(&d, &page.tables, &page.blocks[i]) || d.failure.warnings > 0)
            return std::nullopt;
        const std::size_t tileX = i % across;
        const std::size_t tileY = i / across;
        const std::uint32_t expectedWidth = page.tiled ? page.blockWidth : page.width;
        const std::uint32_t expectedHeight =
            page.tiled
                ? page.blockHeight
                : std::min<std::uint32_t>(page.blockHeight,
                                          page.height - std::uint32_t(tileY) * page.blockHeight);
        if (d.info.image_width != expectedWidth || d.info.image_height != expectedHeight ||
            d.info.num_components > MAX_COMPONENTS || (i > 0 && !sameTables(first.info, d.info)))
            return std::nullopt;
        if (i == 0) {
            p.components = d.info.num_components;
            for (int c = 0; c < p.components; ++c) {
                p.h[c] = d.info.comp_info[c].h_samp_factor;
                p.v[c] = d.info.comp_info[c].v_samp_factor;
                p.maxH = std::max(p.maxH, p.h[c]);
                p.maxV = std::max(p.maxV, p.v[c]);
            }
            const std::size_t mcuWidth = 8 * std::size_t(p.maxH);
            const std::size_t mcuHeight = 8 * std::size_t(p.maxV);
            // Streams fit together only where each but the last ends on whole blocks.
            if ((page.tiled && page.blockWidth % mcuWidth != 0) ||
                (down > 1 && page.blockHeight % mcuHeight != 0))
                return std::nullopt;
            // An edge that the turn moves to the left or the top must end on whole blocks,
            // or blocks cut short there would show their padding.
            if ((turn.mirrorColumns && page.width % mcuWidth != 0) ||
                (turn.mirrorRows && page.height % mcuHeight != 0)) {
                refusal = JpegTurnRefusal::PartialBlocks;
                return std::nullopt;
            }
            for (int c = 0; c < p.components; ++c) {
                const jpeg_component_info& info = d.info.comp_info[c];
                const std::size_t tileWidth = roundUp(info.width_in_blocks, std::size_t(p.h[c]));
                const std::size_t tileRows = page.blockHeight * std::size_t(p.v[c]) / mcuHeight;
                p.width[c] = page.tiled ? across * tileWidth : tileWidth;
                p.rows[c] = page.tiled || down == 1
                                ? down * roundUp(info.height_in_blocks, std::size_t(p.v[c]))
                                : (down - 1) * tileRows +
                                      roundUp(ceilDiv(std::size_t(page.height -
                                                                  (down - 1) * page.blockHeight) *
                                                          std::size_t(p.v[c]),
                                                      mcuHeight),
                                              std::size_t(p.v[c]));
                p.imageWidth[c] = ceilDiv(std::size_t(page.width) * std::size_t(p.h[c]), mcuWidth);
                p.imageRows[c] = ceilDiv(std::size_t(page.height) * std::size_t(p.v[c]), mcuHeight);
                if (p.width[c] * p.rows[c] * sizeof(JBLOCK) > maxAllocationBytes)
                    return std::nullopt;
                p.blocks[c].assign(p.width[c] * p.rows[c] * 64, 0);
            }
        }
        Placement at{};
        for (int c = 0; c < p.components; ++c) {
            const jpeg_component_info& info = d.info.comp_info[c];
            const std::size_t mcuHeight = 8 * std::size_t(p.maxV);
            at.page[c] = p.blocks[c].data();
            at.pageWidth[c] = p.width[c];
            at.width[c] = roundUp(info.width_in_blocks, std::size_t(p.h[c]));
            at.rows[c] = roundUp(info.height_in_blocks, std::size_t(p.v[c]));
            at.column[c] = tileX * at.width[c];
            at.row[c] = tileY * (page.blockHeight * std::size_t(p.v[c]) / mcuHeight);
            if (at.column[c] + at.width[c] > p.width[c] || at.row[c] + at.rows[c] > p.rows[c])
                return std::nullopt;
        }
        if (!copyOut(&d, &at))
            return std::nullopt;
    }

    // The turned page: its components sampled the other way round when transposed.
    TurnedJpeg result;
    const std::uint32_t width = turn.transpose ? page.height : page.width;
    const std::uint32_t height = turn.transpose ? page.width : page.height;
    Output out{};
    out.fill = fillRow;
    int maxH = 1;
    int maxV = 1;
    for (int c = 0; c < p.components; ++c) {
        out.samplingH[c] = turn.transpose ? p.v[c] : p.h[c];
        out.samplingV[c] = turn.transpose ? p.h[c] : p.v[c];
        maxH = std::max(maxH, out.samplingH[c]);
        maxV = std::max(maxV, out.samplingV[c]);
    }
    result.horizontalSampling = std::uint16_t(out.samplingH[0]);
    result.verticalSampling = std::uint16_t(out.samplingV[0]);
    const std::size_t mcuWidth = 8 * std::size_t(maxH);
    const std::size_t mcuHeight = 8 * std::size_t(maxV);
    if (page.tiled) {
        result.blockWidth = turn.transpose ? page.blockHeight : page.blockWidth;
        result.blockHeight = turn.transpose ? page.blockWidth : page.blockHeight;
    } else {
        result.blockWidth = width;
        // About as many pixels a strip as before, in whole rows of blocks.
        const std::uint64_t like = std::uint64_t(page.blockHeight) * page.width / width;
        result.blockHeight =
            down == 1
                ? height
                : std::uint32_t(std::max<std::uint64_t>(mcuHeight, like / mcuHeight * mcuHeight));
        result.blockHeight = std::min(result.blockHeight, height);
    }
    const std::size_t turnedAcross = page.tiled ? ceilDiv(width, result.blockWidth) : 1;
    const std::size_t turnedDown = ceilDiv(height, result.blockHeight);
    for (std::size_t i = 0; i < turnedAcross * turnedDown; ++i) {
        const std::size_t tileX = i % turnedAcross;
        const std::size_t tileY = i / turnedAcross;
        out.width = result.blockWidth;
        out.height =
            page.tiled
                ? result.blockHeight
                : std::min<std::uint32_t>(result.blockHeight,
                                          height - std::uint32_t(tileY) * result.blockHeight);
        Fill fill{&p, {}, {}};
        for (int c = 0; c < p.components; ++c) {
            const auto h = std::size_t(out.samplingH[c]);
            const auto v = std::size_t(out.samplingV[c]);
            out.blockWidth[c] = roundUp(ceilDiv(out.width * h, mcuWidth), h);
            out.blockRows[c] = roundUp(ceilDiv(out.height * v, mcuHeight), v);
            fill.column[c] = tileX * result.blockWidth * h / mcuWidth;
            fill.row[c] = tileY * result.blockHeight * v / mcuHeight;
        }
        out.context = &fill;
        Encoder e;
        if (!writeStream(&e, &first, &out) || !e.buffer)
            return std::nullopt;
        result.blocks.emplace_back(e.buffer, e.buffer + e.size);
    }
    return result;
}

} // namespace tessary
