#include "marking/DmxSymbol.h"

#include "base/ByteText.h"
#include "base/Numbers.h"
#include "marking/MarkDrawing.h"
#include "marking/SheetPlan.h"
#include "marking/Verify.h"
#include "settings/Settings.h"

#include <algorithm>
#include <memory>

#ifdef KUVRION_HAVE_DMTX
#include <dmtx.h>
#endif

namespace kuvrion {

namespace {

#ifdef KUVRION_HAVE_DMTX
struct EncodeFree {
    void operator()(DmtxEncode* p) const { dmtxEncodeDestroy(&p); }
};
struct ImageFree {
    void operator()(DmtxImage* p) const { dmtxImageDestroy(&p); }
};
struct DecodeFree {
    void operator()(DmtxDecode* p) const { dmtxDecodeDestroy(&p); }
};
struct RegionFree {
    void operator()(DmtxRegion* p) const { dmtxRegionDestroy(&p); }
};
struct MessageFree {
    void operator()(DmtxMessage* p) const { dmtxMessageDestroy(&p); }
};
#endif

} // namespace

#ifdef KUVRION_HAVE_DMTX

bool DmxAvailable()
{
    return true;
}

std::optional<DmxMatrix> EncodeDmx(std::string_view content)
{
    if (content.empty())
        return std::nullopt;
    std::unique_ptr<DmtxEncode, EncodeFree> enc(dmtxEncodeCreate());
    if (!enc)
        return std::nullopt;
    // ASCII encodation takes every byte (upper shift above 127) and is the one every reader knows.
    dmtxEncodeSetProp(enc.get(), DmtxPropScheme, DmtxSchemeAscii);
    dmtxEncodeSetProp(enc.get(), DmtxPropSizeRequest, DmtxSymbolSquareAuto);
    dmtxEncodeSetProp(enc.get(), DmtxPropModuleSize, 1);
    dmtxEncodeSetProp(enc.get(), DmtxPropMarginSize, 0);
    std::string bytes(content);
    if (dmtxEncodeDataMatrix(enc.get(), static_cast<int>(bytes.size()),
                             reinterpret_cast<unsigned char*>(bytes.data())) != DmtxPass)
        return std::nullopt;
    const int sizeIdx = enc->region.sizeIdx;
    const int rows = dmtxGetSymbolAttribute(DmtxSymAttribSymbolRows, sizeIdx);
    const int cols = dmtxGetSymbolAttribute(DmtxSymAttribSymbolCols, sizeIdx);
    if (rows != cols || rows <= 0)
        return std::nullopt;
    DmxMatrix m;
    m.size = rows;
    m.dark.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            // The library counts symbol rows from the bottom (the solid finder row is row 0).
            const bool on =
                (dmtxSymbolModuleStatus(enc->message, sizeIdx, r, c) & DmtxModuleOnRGB) != 0;
            m.dark[static_cast<std::size_t>((rows - 1 - r) * cols + c)] = on;
        }
    }
    return m;
}

std::optional<std::string> DecodeDmx(const std::vector<std::uint8_t>& pixels, std::int32_t width,
                                     std::int32_t height)
{
    if (width <= 0 || height <= 0 ||
        pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return std::nullopt;
    std::vector<unsigned char> copy(pixels.begin(), pixels.end());
    std::unique_ptr<DmtxImage, ImageFree> img(
        dmtxImageCreate(copy.data(), width, height, DmtxPack8bppK));
    if (!img)
        return std::nullopt;
    dmtxImageSetProp(img.get(), DmtxPropImageFlip, DmtxFlipNone);
    std::unique_ptr<DmtxDecode, DecodeFree> dec(dmtxDecodeCreate(img.get(), 1));
    if (!dec)
        return std::nullopt;
    std::unique_ptr<DmtxRegion, RegionFree> reg(dmtxRegionFindNext(dec.get(), nullptr));
    if (!reg)
        return std::nullopt;
    std::unique_ptr<DmtxMessage, MessageFree> msg(
        dmtxDecodeMatrixRegion(dec.get(), reg.get(), DmtxUndefined));
    if (!msg)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(msg->output), msg->outputIdx);
}

#else

bool DmxAvailable()
{
    return false;
}

std::optional<DmxMatrix> EncodeDmx(std::string_view)
{
    return std::nullopt;
}

std::optional<std::string> DecodeDmx(const std::vector<std::uint8_t>&, std::int32_t, std::int32_t)
{
    return std::nullopt;
}

#endif

std::int64_t DmxPlace::EdgeX(std::int32_t k) const
{
    return x + RoundToLong(static_cast<float>(k) * module * pclUnitsPerMm);
}

std::int64_t DmxPlace::EdgeY(std::int32_t k) const
{
    return y + RoundToLong(static_cast<float>(k) * module * pclUnitsPerMm);
}

DmxPlace PlaceDmx(const Settings& s)
{
    // Single precision, as the bars are placed; the print area and the OME offsets apply alike.
    const float x = s.dmxX - s.pclLeftMm - s.omeLeftMm;
    const float y = s.dmxY - s.pclTopMm - s.omeTopMm;
    DmxPlace p;
    p.inside = x >= 0.0f && y >= 0.0f;
    p.x = RoundToLong(x * pclUnitsPerMm);
    p.y = RoundToLong(y * pclUnitsPerMm);
    p.module = s.dmxModule;
    return p;
}

void DrawDmxSymbol(std::string& out, const Settings& s, const DmxMatrix& symbol)
{
    const DmxPlace p = PlaceDmx(s);
    if (!p.inside || symbol.size <= 0)
        return;
    const std::int32_t n = symbol.size;
    if (s.dmxClear) {
        // The quiet zone may reach beyond the print area, where the paper stays white anyway.
        const std::int64_t left = std::max<std::int64_t>(p.EdgeX(-s.dmxQuiet), 0);
        const std::int64_t top = std::max<std::int64_t>(p.EdgeY(-s.dmxQuiet), 0);
        AppendRect(out, left, top, p.EdgeX(n + s.dmxQuiet) - left, p.EdgeY(n + s.dmxQuiet) - top,
                   true);
    }
    for (std::int32_t r = 0; r < n; ++r) {
        const std::int64_t y0 = p.EdgeY(r);
        const std::int64_t y1 = p.EdgeY(r + 1);
        for (std::int32_t c = 0; c < n;) {
            if (!symbol.Dark(r, c)) {
                ++c;
                continue;
            }
            std::int32_t end = c + 1;
            while (end < n && symbol.Dark(r, end))
                ++end;
            const std::int64_t x0 = p.EdgeX(c);
            AppendRect(out, x0, y0, p.EdgeX(end) - x0, y1 - y0, false);
            c = end;
        }
    }
}

Result<void> DrawDmxForSheet(std::string& out, const Settings& s, const DmxTemplate& tmpl,
                             const DmxSheet& sheet)
{
    const Result<std::string> content = DmxContent(tmpl, sheet);
    if (!content)
        return content.error();
    const std::optional<DmxMatrix> symbol = EncodeDmx(*content);
    if (!symbol) {
        return Failure{.what = FailureKind::DmxTooLong,
                       .detail = std::to_string(content->size()),
                       .sheet = static_cast<std::int32_t>(sheet.seq)};
    }
    DrawDmxSymbol(out, s, *symbol);
    return {};
}

void DrawDmxSample(std::string& out, const Settings& s)
{
    const Result<std::string> content = DmxExample(s);
    if (!content)
        return;
    const std::optional<DmxMatrix> symbol = EncodeDmx(*content);
    const DmxPlace p = PlaceDmx(s);
    if (!symbol || !p.inside)
        return;
    DrawDmxSymbol(out, s, *symbol);
    constexpr std::int64_t kLine = 3; // decipoints, about 0.1 mm
    const std::int32_t q = s.dmxQuiet, n = symbol->size;
    const std::int64_t left = std::max<std::int64_t>(p.EdgeX(-q) - kLine, 0);
    const std::int64_t top = std::max<std::int64_t>(p.EdgeY(-q) - kLine, 0);
    const std::int64_t right = p.EdgeX(n + q), bottom = p.EdgeY(n + q);
    AppendRect(out, left, top, right + kLine - left, kLine, false);
    AppendRect(out, left, bottom, right + kLine - left, kLine, false);
    AppendRect(out, left, top, kLine, bottom + kLine - top, false);
    AppendRect(out, right, top, kLine, bottom + kLine - top, false);
}

Result<std::string> DmxExample(const Settings& s)
{
    const Result<DmxTemplate> tmpl = ParseDmxTemplate(s.dmxTemplate);
    if (!tmpl)
        return tmpl.error();
    DmxSheet sheet;
    sheet.sheets = 2;
    sheet.closes = false;
    sheet.job = s.dmxJob;
    sheet.id = "4711";
    Result<std::string> content = DmxContent(*tmpl, sheet);
    if (content && DmxAvailable() && !EncodeDmx(*content))
        return Failure{
            .what = FailureKind::DmxTooLong, .detail = std::to_string(content->size()), .sheet = 1};
    return content;
}

std::optional<FailureKind> DmxLayoutCheck(const Settings& s)
{
    if (!s.useDmx)
        return std::nullopt;
    const Result<std::string> content = DmxExample(s);
    if (!content)
        return std::nullopt;
    const std::optional<DmxMatrix> symbol = EncodeDmx(*content);
    if (!symbol)
        return std::nullopt;
    constexpr double kEdgeMm = 5;
    const double side = symbol->size * static_cast<double>(s.dmxModule);
    const double quiet = s.dmxQuiet * static_cast<double>(s.dmxModule);
    const double barsBottom =
        s.omeY + std::max(s.codeLength - 1, 0) * static_cast<double>(s.omeA + s.omeD) + s.omeD;
    if (s.dmxX - quiet < s.omeX + s.omeB + kClearZoneMm &&
        s.dmxX + side + quiet > s.omeX - kClearZoneMm &&
        s.dmxY - quiet < barsBottom + kClearZoneMm && s.dmxY + side + quiet > s.omeY - kClearZoneMm)
        return FailureKind::DmxNearBars;
    if (s.dmxX < kEdgeMm || s.dmxY < kEdgeMm || s.dmxX + side > kSheetWidthMm - kEdgeMm ||
        s.dmxY + side > kSheetHeightMm - kEdgeMm)
        return FailureKind::DmxNearEdge;
    return std::nullopt;
}

} // namespace kuvrion
