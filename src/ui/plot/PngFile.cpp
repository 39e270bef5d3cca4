#include "ui/plot/PngFile.h"

#include "platform/system/Handles.h"

#include <objbase.h>
#include <wincodec.h>

namespace {

// COM for the length of one write, on whatever apartment the thread already has.
class C_ComScope {
public:
    C_ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~C_ComScope() {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    C_ComScope(const C_ComScope&) = delete;
    C_ComScope& operator=(const C_ComScope&) = delete;

private:
    HRESULT m_result;
};

HRESULT Encode(IWICImagingFactory* factory, const wchar_t* path, const uint8_t* pixels, uint32_t width, uint32_t height,
               uint32_t stride) {
    C_ComRef<IWICStream> stream;
    HRESULT result = factory->CreateStream(stream.Receive());
    if (SUCCEEDED(result))
        result = stream->InitializeFromFilename(path, GENERIC_WRITE);
    C_ComRef<IWICBitmapEncoder> encoder;
    if (SUCCEEDED(result))
        result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Receive());
    if (SUCCEEDED(result))
        result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    C_ComRef<IWICBitmapFrameEncode> frame;
    if (SUCCEEDED(result))
        result = encoder->CreateNewFrame(frame.Receive(), nullptr);
    if (SUCCEEDED(result))
        result = frame->Initialize(nullptr);
    if (SUCCEEDED(result))
        result = frame->SetSize(width, height);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&format);
    // The encoder may offer another format than asked; this picture comes only in the one.
    if (SUCCEEDED(result) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGR))
        result = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(result))
        result = frame->WritePixels(height, stride, stride * height, const_cast<BYTE*>(pixels));
    if (SUCCEEDED(result))
        result = frame->Commit();
    if (SUCCEEDED(result))
        result = encoder->Commit();
    return result;
}

} // namespace

HRESULT PngFile::Write(const wchar_t* path, const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride) {
    if (!path || !pixels || !width || !height || stride < width * 4)
        return E_INVALIDARG;
    C_ComScope com;
    C_ComRef<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      factory.ReceiveVoid());
    if (SUCCEEDED(result))
        result = Encode(factory.Get(), path, pixels, width, height, stride);
    if (FAILED(result))
        DeleteFileW(path); // the stream made the file before the encoder failed
    return result;
}
