// png_wic.cpp: the frames' PNG files on Windows, encoded by the Windows
// Imaging Component (a system library, so the program needs no DLL of its
// own) into a stream in memory. Each calling thread joins COM's
// multithreaded apartment once; the factory is made per call, which costs
// little beside encoding a frame.
#include "studio/publishing/web_export.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

// Releases a COM object when it goes.
template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p != nullptr) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
};

// Joins COM's multithreaded apartment once per thread; a thread already in
// a single-threaded one (RPC_E_CHANGED_MODE) uses COM as it is.
void joinApartment() {
  thread_local const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  (void)joined;
}

}  // namespace

std::vector<unsigned char> pngBytes(const unsigned char* rgba, int32_t w, int32_t h) {
  if (rgba == nullptr || w < 1 || h < 1) return {};
  joinApartment();
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.out()))) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
      FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.out(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))))
    return {};
  // The PNG encoder takes blue, green, red, alpha on every Windows (and
  // wine); red-first input is not accepted everywhere.
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  const UINT stride = static_cast<UINT>(w) * 4;
  std::vector<BYTE> bgra(rgba, rgba + size_t{stride} * static_cast<size_t>(h));
  for (size_t at = 0; at < bgra.size(); at += 4) std::swap(bgra[at], bgra[at + 2]);
  if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ||
      FAILED(frame->WritePixels(static_cast<UINT>(h), stride, stride * static_cast<UINT>(h), bgra.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit()))
    return {};
  HGLOBAL memory = nullptr;
  if (FAILED(GetHGlobalFromStream(stream.p, &memory))) return {};
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return {};
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr) return {};
  std::vector<unsigned char> png(static_cast<size_t>(stat.cbSize.QuadPart));
  std::memcpy(png.data(), bytes, png.size());
  GlobalUnlock(memory);
  return png;
}
