#include "win32/picture_view.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "win32/window_object.h"

namespace krelt::win32 {
namespace {

constexpr wchar_t kClassName[] = L"KreltPictureView";

}  // namespace

void PictureView::RegisterClassOnce(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  if (GetClassInfoExW(instance, kClassName, &windowClass)) return;
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClassName;
  windowClass.lpfnWndProc = PictureView::Procedure;
  RegisterClassExW(&windowClass);
}

namespace {

// A 32-bit top-down DIB section holding the pixels: 0xAARRGGBB in memory
// order is the B, G, R, A a DIB wants, premultiplied as AlphaBlend wants.
HBITMAP CreateImageBitmap(const ScreenImage& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof image.pixels[0]);
  }
  return bitmap;
}

// Two squares of each colour, the dark one at the top left.
HBRUSH CreateCheckerBrush() {
  constexpr int kSide = 2 * kCheckerSquare;
  auto colour = [](std::uint32_t rgb) { return rgb & 0xFFFFFFu; };  // 0x00RRGGBB, as a DIB
  std::uint32_t pixels[kSide * kSide];
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const bool dark = (x < kCheckerSquare) == (y < kCheckerSquare);
      pixels[y * kSide + x] = colour(dark ? kCheckerDark : kCheckerLight);
    }
  }
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, kSide, -kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HBITMAP tile = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels, &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  HBRUSH brush = CreatePatternBrush(tile);
  DeleteObject(tile);
  return brush;
}

}  // namespace

PictureView::PictureView(HWND parent, int id) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  RegisterClassOnce(instance);
  window_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"",
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL, 0, 0, 0, 0,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  UpdateScrollBars();
}

PictureView::~PictureView() {
  if (IsWindow(window_)) SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

void PictureView::SetImage(std::shared_ptr<const ScreenImage> image) {
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  image_ = std::move(image);
  if (image_ != nullptr && !image_->pixels.empty()) bitmap_ = CreateImageBitmap(*image_);
  scroll_ = {};
  UpdateScrollBars();
  InvalidateRect(window_, nullptr, FALSE);
}

void PictureView::SetZoom(int zoom) {
  zoom_ = zoom;
  scroll_ = {};
  UpdateScrollBars();
  InvalidateRect(window_, nullptr, FALSE);
}

LRESULT CALLBACK PictureView::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* view = WindowObject<PictureView>(window, message, lParam);
  if (message == WM_NCCREATE) view->window_ = window;
  if (view == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return view->Handle(message, wParam, lParam);
}

LRESULT PictureView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window_, &paint);
      RECT client;
      GetClientRect(window_, &client);
      Paint(dc, client);
      EndPaint(window_, &paint);
      return 0;
    }
    case WM_SIZE:
      UpdateScrollBars();
      return 0;
    case WM_HSCROLL:
      Scroll(SB_HORZ, LOWORD(wParam));
      return 0;
    case WM_VSCROLL:
      Scroll(SB_VERT, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

Extent PictureView::ImageExtent() const {
  if (bitmap_ == nullptr) return {};
  return {image_->width, image_->height};
}

Extent PictureView::ClientExtent() const {
  RECT client;
  GetClientRect(window_, &client);
  return {client.right, client.bottom};
}

RECT PictureView::Target() const {
  const Extent client = ClientExtent();
  if (zoom_ == 0) {
    const Placement placement = PictureRect(ImageExtent(), 0, client);
    return {placement.x, placement.y, placement.x + placement.size.width,
            placement.y + placement.size.height};
  }
  const Extent content = PictureViewSize(ImageExtent(), zoom_);
  const Placement placement = PictureRect(ImageExtent(), zoom_, content);
  const auto origin = [](std::int32_t contentSide, std::int32_t clientSide, LONG scrolled) {
    return contentSide < clientSide ? (clientSide - contentSide) / 2 : -scrolled;
  };
  const LONG x = origin(content.width, client.width, scroll_.x) + placement.x;
  const LONG y = origin(content.height, client.height, scroll_.y) + placement.y;
  return {x, y, x + placement.size.width, y + placement.size.height};
}

// A fitted picture needs no scroll bars; a zoomed one scrolls over its
// zoomed size.
void PictureView::UpdateScrollBars() {
  const Extent content = zoom_ == 0 ? Extent{} : PictureViewSize(ImageExtent(), zoom_);
  const Extent client = ClientExtent();
  const auto set = [this](int bar, std::int32_t contentSide, std::int32_t clientSide,
                          LONG& position) {
    position = std::clamp<LONG>(position, 0, std::max(0, contentSide - clientSide));
    SCROLLINFO info{sizeof info,
                    SIF_RANGE | SIF_PAGE | SIF_POS,
                    0,
                    std::max(contentSide - 1, 0),
                    static_cast<UINT>(std::max(clientSide, 0)),
                    static_cast<int>(position),
                    0};
    SetScrollInfo(window_, bar, &info, TRUE);
  };
  set(SB_HORZ, content.width, client.width, scroll_.x);
  set(SB_VERT, content.height, client.height, scroll_.y);
}

void PictureView::Scroll(int bar, WORD request) {
  SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(window_, bar, &info);
  const int line = 16;
  const int page = static_cast<int>(info.nPage);
  int position = info.nPos;
  switch (request) {
    case SB_LINEUP:
      position -= line;
      break;
    case SB_LINEDOWN:
      position += line;
      break;
    case SB_PAGEUP:
      position -= page;
      break;
    case SB_PAGEDOWN:
      position += page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      position = info.nTrackPos;
      break;
    case SB_TOP:
      position = info.nMin;
      break;
    case SB_BOTTOM:
      position = info.nMax;
      break;
    default:
      return;
  }
  (bar == SB_HORZ ? scroll_.x : scroll_.y) = position;
  UpdateScrollBars();
  InvalidateRect(window_, nullptr, FALSE);
}

// Drawn off screen first, so that the picture never flickers.
void PictureView::Paint(HDC target, const RECT& client) const {
  HDC buffer = CreateCompatibleDC(target);
  HBITMAP canvas = CreateCompatibleBitmap(target, std::max<LONG>(client.right, 1),
                                          std::max<LONG>(client.bottom, 1));
  HGDIOBJ oldCanvas = SelectObject(buffer, canvas);
  FillRect(buffer, &client, GetSysColorBrush(COLOR_WINDOW));
  const RECT picture = Target();
  if (bitmap_ != nullptr && picture.right > picture.left && picture.bottom > picture.top) {
    if (image_->hasAlpha) {
      HBRUSH checker = CreateCheckerBrush();
      SetBrushOrgEx(buffer, picture.left, picture.top, nullptr);
      FillRect(buffer, &picture, checker);
      DeleteObject(checker);
    }
    HDC source = CreateCompatibleDC(target);
    HGDIOBJ oldSource = SelectObject(source, bitmap_);
    SetStretchBltMode(buffer, COLORONCOLOR);  // nearest neighbour
    const int width = picture.right - picture.left;
    const int height = picture.bottom - picture.top;
    if (image_->hasAlpha) {
      const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      AlphaBlend(buffer, picture.left, picture.top, width, height, source, 0, 0, image_->width,
                 image_->height, blend);
    } else {
      StretchBlt(buffer, picture.left, picture.top, width, height, source, 0, 0, image_->width,
                 image_->height, SRCCOPY);
    }
    SelectObject(source, oldSource);
    DeleteDC(source);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
  SelectObject(buffer, oldCanvas);
  DeleteObject(canvas);
  DeleteDC(buffer);
}

}  // namespace krelt::win32
