// Painting in the GUI layer: bevels, the image with alpha, labels, double buffering, text in the
// process code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/wine/GuiTestSupport.h"

namespace {

// A 32-bit DIB selected into a memory DC, so that pixels can be read back exactly.
class PixelSurface {
  public:
    PixelSurface(int width, int height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        RECT all = {0, 0, width, height};
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        FillRect(dc_, &all, black);
        DeleteObject(black);
    }
    ~PixelSurface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;
    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

std::string Rgb(COLORREF c) {
    return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
           std::to_string(GetBValue(c));
}

bool Near(COLORREF a, COLORREF b, int tolerance = 2) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace

TEST_F(GuiTest, DrawBevelPaintsEachRingAndShrinksTheRectangle) {
    const COLORREF hi = ColorToRGB(clBtnHighlight), sh = ColorToRGB(clBtnShadow), none = RGB(0, 0, 0);
    struct Case {
        TBevelCut kind;
        int width;
        COLORREF top, bottom;
        RECT after;
    };
    const Case cases[] = {
        {bvRaised, 2, hi, sh, {2, 2, 4, 4}},
        {bvSpace, 1, hi, sh, {1, 1, 5, 5}},
        {bvLowered, 1, sh, hi, {1, 1, 5, 5}},
        {bvNone, 2, none, none, {0, 0, 6, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " width " + std::to_string(c.width));
        PixelSurface surface(6, 6);
        RECT rect = {0, 0, 6, 6};
        {
            TCanvas canvas(surface.Dc());
            canvas.SetBrushColor(clBlue);
            DrawBevel(canvas, rect, c.kind, c.width);
            EXPECT_EQ(canvas.BrushColor(), clBlue) << "the brush colour is given back";
        }
        EXPECT_TRUE(EqualRect(&rect, &c.after));
        for (int ring = 0; ring < (c.kind == bvNone ? 1 : c.width); ++ring) {
            const int lo = ring, hiEdge = 5 - ring;
            struct Pixel {
                int x, y;
                COLORREF expected;
                const char* where;
            };
            const Pixel pixels[] = {
                {lo, lo, c.top, "top-left corner"},
                {lo + 1, lo, c.top, "top edge"},
                {lo, lo + 1, c.top, "left edge"},
                {hiEdge, lo, c.bottom, "top-right corner"},
                {lo, hiEdge, c.bottom, "bottom-left corner"},
                {hiEdge, hiEdge, c.bottom, "bottom-right corner"},
                {hiEdge, lo + 1, c.bottom, "right edge"},
                {lo + 1, hiEdge, c.bottom, "bottom edge"},
            };
            for (const Pixel& p : pixels) {
                EXPECT_EQ(Rgb(surface.At(p.x, p.y)), Rgb(p.expected)) << "ring " << ring << ", " << p.where;
            }
        }
        if (c.kind != bvNone) {
            EXPECT_EQ(Rgb(surface.At(c.width, c.width)), Rgb(none)) << "the inside is left alone";
        }
    }
}

TEST_F(GuiTest, ImageLoadsAPngAndBlendsItsAlphaOverTheBackground) {
    TForm* form = NewForm(100, 100);
    auto* panel = new TPanel(form);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clWhite);
    panel->SetAlign(alClient);
    panel->SetParent(form);
    auto* image = new TImage(form);
    image->SetBounds(10, 10, 10, 10);
    image->Center = true;
    image->SetParent(panel);

    // The test picture, 2 x 2: opaque red, blue at half alpha / fully transparent, opaque green.
    ASSERT_TRUE(image->LoadPngResource(GetModuleHandleA(nullptr), 1));
    EXPECT_EQ(image->PictureWidth(), 2);
    EXPECT_EQ(image->PictureHeight(), 2);
    EXPECT_EQ(image->Width(), 10) << "no AutoSize: the control keeps its size";

    const COLORREF halfBlueOnWhite = RGB(127, 127, 255), halfBlueOnYellow = RGB(127, 127, 128);
    struct Case {
        const char* what;
        bool transparent;
        TColor color;
        COLORREF background, blended;
    };
    const Case cases[] = {
        {"transparent over the white panel", true, clYellow, RGB(255, 255, 255), halfBlueOnWhite},
        {"opaque in its own yellow", false, clYellow, RGB(255, 255, 0), halfBlueOnYellow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        image->Transparent = c.transparent;
        image->SetColor(c.color);
        PixelSurface surface(10, 10);
        SendMessageA(image->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
        // Centred: the picture's pixels land at (4, 4) to (5, 5).
        EXPECT_EQ(Rgb(surface.At(4, 4)), Rgb(RGB(255, 0, 0)));
        EXPECT_TRUE(Near(surface.At(5, 4), c.blended)) << Rgb(surface.At(5, 4));
        EXPECT_EQ(Rgb(surface.At(4, 5)), Rgb(c.background)) << "a fully transparent pixel";
        EXPECT_EQ(Rgb(surface.At(5, 5)), Rgb(RGB(0, 255, 0)));
        EXPECT_EQ(Rgb(surface.At(0, 0)), Rgb(c.background));
        EXPECT_EQ(Rgb(surface.At(9, 9)), Rgb(c.background));
    }

    image->AutoSize = true;
    ASSERT_TRUE(image->LoadPngResource(GetModuleHandleA(nullptr), 1));
    EXPECT_EQ(image->Width(), 2);
    EXPECT_EQ(image->Height(), 2);
}

TEST_F(GuiTest, ImageRefusesDataThatIsNoPngAndKeepsItsPicture) {
    TImage image(nullptr);
    ASSERT_TRUE(image.LoadPngResource(GetModuleHandleA(nullptr), 1));
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));
    const auto* png = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    const DWORD pngSize = SizeofResource(nullptr, resource);
    ASSERT_GT(pngSize, 40u);

    const std::vector<unsigned char> bitmapHeader = {'B', 'M', 0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
    const std::vector<unsigned char> truncated(png, png + 40);
    std::vector<unsigned char> corrupt(png, png + pngSize);
    for (size_t i = 33; i < corrupt.size() - 12; ++i)
        corrupt[i] ^= 0x5A;
    struct Case {
        const char* what;
        const void* data;
        size_t size;
    };
    const Case cases[] = {
        {"no data", nullptr, 0},
        {"a bitmap file", bitmapHeader.data(), bitmapHeader.size()},
        {"a truncated png", truncated.data(), truncated.size()},
        {"a png with broken image data", corrupt.data(), corrupt.size()},
        {"the signature only", png, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(image.LoadPng(c.data, c.size));
        EXPECT_EQ(image.PictureWidth(), 2);
        EXPECT_EQ(image.PictureHeight(), 2);
    }
    EXPECT_FALSE(image.LoadPngResource(GetModuleHandleA(nullptr), 4242));
    EXPECT_EQ(image.PictureWidth(), 2);
}

TEST_F(GuiTest, LabelDrawsItsTextOnTheParentsBackgroundAndSizesItself) {
    TForm* form = NewForm(200, 100);
    auto* panel = new TPanel(form);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clYellow);
    panel->SetAlign(alClient);
    panel->SetParent(form);
    auto* label = new TLabel(form);
    label->SetBounds(10, 10, 0, 0);
    label->SetParent(panel);
    label->SetCaption("Links:");
    const int plainWidth = label->Width();
    EXPECT_GT(plainWidth, 10);
    EXPECT_GT(label->Height(), 5);
    label->SetFontStyle(fsBold);
    EXPECT_GT(label->Width(), plainWidth) << "bold text is wider";
    label->SetCaption("Links: and more");
    EXPECT_GT(label->Width(), plainWidth * 2);
    label->SetFontColor(clRed);

    const int width = label->Width(), height = label->Height();
    PixelSurface surface(width, height);
    SendMessageA(label->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    // Smoothed text mixes red into yellow: every pixel keeps full red and no blue.
    int red = 0, foreign = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = surface.At(x, y);
            if (Near(c, RGB(255, 0, 0), 8))
                ++red;
            if (GetRValue(c) < 240 || GetBValue(c) > 8)
                ++foreign;
        }
    EXPECT_GT(red, 10) << "the text in the font colour";
    EXPECT_EQ(foreign, 0) << "nothing but the text over the panel's colour";
    EXPECT_EQ(Rgb(surface.At(0, 0)), Rgb(RGB(255, 255, 0))) << "the panel's colour under the text";
}

namespace {

template <class Base>
struct PaintProbe : Base {
    explicit PaintProbe(TComponent* owner) : Base(owner) {}
    void Paint(TCanvas& canvas) override {
        dcTypes.push_back(GetObjectType(canvas.Handle()));
        Base::Paint(canvas);
    }
    std::vector<DWORD> dcTypes;
};

}  // namespace

TEST_F(GuiTest, SetDoubleBufferedCoversTheComponentAndTheWindowControlsItOwns) {
    TForm* form = NewForm(300, 200);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* ownedButton = new TButton(form);
    ownedButton->SetParent(panel);
    auto* panelsButton = new TButton(panel);  // owned by the panel, not by the form
    panelsButton->SetParent(panel);
    auto* custom = new PaintProbe<TCustomControl>(form);
    custom->SetParent(form);
    auto* graphic = new PaintProbe<TGraphicControl>(form);
    graphic->SetParent(form);
    new TTimer(form);

    SetDoubleBuffered(form, true);
    EXPECT_TRUE(form->DoubleBuffered());
    EXPECT_TRUE(panel->DoubleBuffered());
    EXPECT_TRUE(ownedButton->DoubleBuffered());
    EXPECT_TRUE(custom->DoubleBuffered());
    EXPECT_FALSE(panelsButton->DoubleBuffered()) << "owned components are not descended into";

    SetDoubleBuffered(panel, true);
    EXPECT_TRUE(panelsButton->DoubleBuffered());
    SetDoubleBuffered(form, false);
    EXPECT_FALSE(form->DoubleBuffered());
    EXPECT_FALSE(panel->DoubleBuffered());
    EXPECT_FALSE(custom->DoubleBuffered());
    EXPECT_TRUE(panelsButton->DoubleBuffered());
    SetDoubleBuffered(nullptr, true);

    // A double-buffered control paints into a memory DC; a graphic control paints into its
    // parent's buffer when the parent is double-buffered.
    struct Case {
        bool buffered;
        DWORD dcType;
    };
    for (const Case& c : {Case{false, OBJ_DC}, Case{true, OBJ_MEMDC}}) {
        SCOPED_TRACE(c.buffered);
        SetDoubleBuffered(form, c.buffered);
        custom->dcTypes.clear();
        graphic->dcTypes.clear();
        SendMessageA(custom->Handle(), WM_PAINT, 0, 0);
        SendMessageA(graphic->Handle(), WM_PAINT, 0, 0);
        ASSERT_EQ(custom->dcTypes.size(), 1u);
        EXPECT_EQ(custom->dcTypes[0], c.dcType);
        ASSERT_EQ(graphic->dcTypes.size(), 1u);
        EXPECT_EQ(graphic->dcTypes[0], c.dcType);
    }
}

// This program runs with UTF-8 as its process code page (its manifest), where GDI's 8-bit entry
// points would still decode with the system's code page: every way the canvas draws or measures
// text must give what the UTF-16 text gives.
TEST_F(GuiTest, CanvasTextIsTheProcessCodePagesText) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the test manifest sets the process code page";
    const std::string text = "Caf\xC3\xA9 \xE2\x82\xAC 5";  // "Café € 5"
    const std::wstring wide = L"Caf\u00E9 \u20AC 5";
    constexpr int kWidth = 120, kHeight = 24;
    const RECT box = {0, 0, kWidth, kHeight};

    struct Way {
        const char* name;
        std::function<void(TCanvas&)> draw;
        std::function<void(HDC)> reference;
    };
    const Way ways[] = {
        {"TextOut", [&](TCanvas& c) { c.TextOut(2, 2, text); },
         [&](HDC dc) { TextOutW(dc, 2, 2, wide.data(), static_cast<int>(wide.size())); }},
        {"TextRect",
         [&](TCanvas& c) {
             c.SetBrushColor(clBlack);
             c.TextRect(box, 2, 2, text);
         },
         [&](HDC dc) {
             ExtTextOutW(dc, 2, 2, ETO_CLIPPED, &box, wide.data(), static_cast<UINT>(wide.size()), nullptr);
         }},
        {"DrawTextRect",
         [&](TCanvas& c) {
             RECT r = box;
             c.DrawTextRect(r, text, DT_LEFT | DT_SINGLELINE);
         },
         [&](HDC dc) {
             RECT r = box;
             DrawTextW(dc, wide.data(), static_cast<int>(wide.size()), &r, DT_LEFT | DT_SINGLELINE);
         }},
    };
    TFont font;
    font.Color = clWhite;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        PixelSurface drawn(kWidth, kHeight), expected(kWidth, kHeight);
        {
            TCanvas canvas(drawn.Dc());
            canvas.SetFont(font);
            way.draw(canvas);
        }
        {
            TCanvas canvas(expected.Dc());
            canvas.SetFont(font);
            (void)canvas.TextExtent("");  // selects the canvas font and colour
            SetBkMode(expected.Dc(), TRANSPARENT);
            way.reference(expected.Dc());
        }
        int differing = 0, lit = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                differing += drawn.At(x, y) != expected.At(x, y) ? 1 : 0;
                lit += expected.At(x, y) != RGB(0, 0, 0) ? 1 : 0;
            }
        EXPECT_GT(lit, 20) << "the reference shows the text";
        EXPECT_EQ(differing, 0);
    }

    PixelSurface surface(kWidth, kHeight);
    TCanvas canvas(surface.Dc());
    canvas.SetFont(font);
    SIZE expectedExtent = {};
    const SIZE extent = canvas.TextExtent(text);
    GetTextExtentPoint32W(surface.Dc(), wide.data(), static_cast<int>(wide.size()), &expectedExtent);
    EXPECT_EQ(extent.cx, expectedExtent.cx);

    // A label sizes itself to the same text.
    TForm* form = NewForm(200, 60);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption(text);
    EXPECT_EQ(label->Width(), expectedExtent.cx);
}
