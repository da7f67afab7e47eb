#include "app/picture_resource_win.h"

#include <wincodec.h>

#include "app/system_library_win.h"

namespace {

const int kLargestSide = 4096;  // larger is not one of ours

// The imaging factory of the first WIC version, named by its own class id:
// a header built for Windows 8 turns CLSID_WICImagingFactory into the
// second version's, which Windows 7 lacks (no picture, no error).
const CLSID kWicImagingFactory1 = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
const IID kWicImagingFactoryInterface = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};

// One COM interface pointer, released when it goes out of scope.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_) p_->Release();
    }
    T** Out() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

private:
    T* p_ = nullptr;
};

// A top-down 32-bit DIB section (blue, green, red, unused) and its pixels.
HBITMAP NewPicture(UINT width, UINT height, void** bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap && !*bits) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

// The bytes of resource `id` of `type`, or null.
const BYTE* ResourceBytes(HINSTANCE instance, int id, const char* type, DWORD& size) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), type);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    size = found ? SizeofResource(instance, found) : 0;
    return loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
}

HBITMAP Decode(IWICImagingFactory* factory, const BYTE* data, DWORD size) {
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> pixels;
    UINT width = 0, height = 0;
    if (FAILED(factory->CreateStream(stream.Out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)) ||
        FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Out())) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(factory->CreateFormatConverter(pixels.Out())) ||
        FAILED(pixels->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                  WICBitmapPaletteTypeCustom)) ||
        FAILED(pixels->GetSize(&width, &height)) || width == 0 || height == 0 || width > kLargestSide ||
        height > kLargestSide)
        return nullptr;

    void* bits = nullptr;
    HBITMAP bitmap = NewPicture(width, height, &bits);  // top-down, as WIC writes rows
    if (!bitmap) return nullptr;
    // 32 bits a pixel: every WIC converts every PNG (palettes included) to it.
    const UINT stride = width * 4;
    if (FAILED(pixels->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

// ole32.dll, loaded at the first decode and kept for the program's life:
// the exe does not import it, so nothing of COM loads with the card before
// it draws a picture, and a library COM has used is never unloaded under it.
HMODULE Ole32() {
    static HMODULE ole32 = LoadSystemLibrary("ole32.dll");
    return ole32;
}

// The three COM calls a decode needs, from ole32.dll.
class ComLibrary {
public:
    ComLibrary() : ole32_(Ole32()) {
        if (!ole32_) return;
        initialize_ = reinterpret_cast<decltype(initialize_)>(
            reinterpret_cast<void*>(GetProcAddress(ole32_, "CoInitializeEx")));
        create_ = reinterpret_cast<decltype(create_)>(reinterpret_cast<void*>(GetProcAddress(ole32_, "CoCreateInstance")));
        uninitialize_ = reinterpret_cast<decltype(uninitialize_)>(
            reinterpret_cast<void*>(GetProcAddress(ole32_, "CoUninitialize")));
    }
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;
    ~ComLibrary() { Close(); }

    // A new imaging factory on a COM apartment opened for this object's life.
    bool CreateFactory(ComRef<IWICImagingFactory>& factory) {
        if (!initialize_ || !create_ || !uninitialize_) return false;
        initialized_ = SUCCEEDED(initialize_(nullptr, COINIT_APARTMENTTHREADED));
        return SUCCEEDED(create_(kWicImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, kWicImagingFactoryInterface,
                                 reinterpret_cast<void**>(factory.Out())));
    }
    // Closes the apartment; every COM object must be released first.
    void Close() {
        if (initialized_) uninitialize_();
        initialized_ = false;
    }

private:
    HMODULE ole32_;
    HRESULT(WINAPI* initialize_)(LPVOID, DWORD) = nullptr;
    HRESULT(WINAPI* create_)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) = nullptr;
    void(WINAPI* uninitialize_)() = nullptr;
    bool initialized_ = false;
};

}  // namespace

HBITMAP LoadPngPicture(HINSTANCE instance, int id) {
    DWORD size = 0;
    const BYTE* data = ResourceBytes(instance, id, "PNG", size);
    if (!data) return nullptr;
    // COM for this call only, so the card holds no COM state (nor its hidden
    // window) between the few times it decodes a picture.
    ComLibrary com;
    HBITMAP bitmap = nullptr;
    {
        ComRef<IWICImagingFactory> factory;
        if (com.CreateFactory(factory)) bitmap = Decode(factory.Get(), data, size);
    }
    com.Close();
    return bitmap;
}

HBITMAP LoadRlePicture(HINSTANCE instance, int id) {
    DWORD size = 0;
    const BYTE* data = ResourceBytes(instance, id, MAKEINTRESOURCEA(2) /* RT_BITMAP */, size);
    auto* info = reinterpret_cast<const BITMAPINFO*>(data);
    if (!data || size < sizeof(BITMAPINFOHEADER)) return nullptr;
    const BITMAPINFOHEADER& head = info->bmiHeader;
    const DWORD colours = head.biClrUsed ? head.biClrUsed : 256;
    if (head.biSize < sizeof head || head.biCompression != BI_RLE8 || head.biBitCount != 8 || head.biWidth <= 0 ||
        head.biHeight <= 0 || head.biWidth > kLargestSide || head.biHeight > kLargestSide || colours > 256 ||
        size < head.biSize + colours * sizeof(RGBQUAD) + head.biSizeImage)
        return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = NewPicture(head.biWidth, head.biHeight, &bits);
    if (!bitmap) return nullptr;
    HDC screen = GetDC(nullptr);
    const int rows = SetDIBits(screen, bitmap, 0, head.biHeight, data + head.biSize + colours * sizeof(RGBQUAD), info,
                               DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != head.biHeight) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}
