// The image control: a PNG picture decoded by WIC into a premultiplied 32-bit DIB section and
// drawn with AlphaBlend.
#include "wingui/WinGui.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "wingui/WinGuiInternal.h"

using namespace wingui_detail;

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr UINT kMaxPictureSide = 16384;

// A memory DC with one bitmap selected for the length of a scope.
class SelectedBitmap {
  public:
    SelectedBitmap(HDC reference, HBITMAP bitmap) : dc_(CreateCompatibleDC(reference)) {
        if (dc_)
            old_ = SelectObject(dc_, bitmap);
    }
    ~SelectedBitmap() {
        if (!dc_)
            return;
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC Dc() const { return dc_; }

  private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
    if (bitmap_)
        DeleteObject(bitmap_);
}

bool TImage::LoadPng(const void* data, size_t size) {
    if (!data || size < sizeof(kPngSignature) || size > MAXDWORD ||
        std::memcmp(data, kPngSignature, sizeof(kPngSignature)) != 0)
        return false;

    ComScope com;  // first, so that it ends after every COM object below is released
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.PutVoid())))
        return false;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                            static_cast<DWORD>(size))))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    // The PNG decoder by its class: asking the factory for one by container format makes it go
    // through every installed decoder first.
    if (FAILED(CoCreateInstance(CLSID_WICPngDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_IWICBitmapDecoder,
                                decoder.PutVoid())) &&
        FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Put())))
        return false;
    if (FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)))
        return false;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.Put())))
        return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return false;
    UINT width = 0, height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > kMaxPictureSide ||
        height > kMaxPictureSide)
        return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC hands the rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits)
        return false;
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits))))
        return false;
    GdiFlush();

    if (bitmap_)
        DeleteObject(bitmap_);
    bitmap_ = bitmap.Release();
    pictureWidth_ = static_cast<int>(width);
    pictureHeight_ = static_cast<int>(height);
    if (AutoSize)
        SetBounds(Left(), Top(), pictureWidth_, pictureHeight_);
    Invalidate();
    return true;
}

bool TImage::LoadPngResource(HINSTANCE instance, int resourceId) {
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(resourceId), RT_RCDATA);
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(instance, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return false;
    return LoadPng(data, SizeofResource(instance, resource));
}

void TImage::Paint(TCanvas& canvas) {
    RECT client = {0, 0, Scale(Width()), Scale(Height())};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    if (Transparent) {
        PaintParentBackground(canvas);
    } else {
        canvas.SetBrushColor(EffectiveColor());
        canvas.FillRect(client);
    }
    if (!bitmap_)
        return;
    int width = Scale(pictureWidth_), height = Scale(pictureHeight_);
    const int clientWidth = client.right, clientHeight = client.bottom;
    if (Proportional && (width > clientWidth || height > clientHeight) && width > 0 && height > 0) {
        const double ratio =
            std::min(static_cast<double>(clientWidth) / width, static_cast<double>(clientHeight) / height);
        width = std::max(1, static_cast<int>(width * ratio));
        height = std::max(1, static_cast<int>(height * ratio));
    }
    const int x = Center ? (clientWidth - width) / 2 : 0;
    const int y = Center ? (clientHeight - height) / 2 : 0;
    SelectedBitmap source(canvas.Handle(), bitmap_);
    if (!source.Dc())
        return;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(canvas.Handle(), x, y, width, height, source.Dc(), 0, 0, pictureWidth_, pictureHeight_, blend);
}
