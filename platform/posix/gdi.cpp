// Drawing objects without a screen: the stock objects as distinct handles, device
// contexts that remember their selected font, text extents measured in fixed character
// cells, and the system cursors. The module measures texts to size its windows; a fixed
// cell per font is all it needs here.
#include "platform/posix/window_object.h"

#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace {

enum class GdiKind { None, Brush, Pen, Font, Palette };

struct StockObject {
    GdiKind kind;
    int cellWidth;
    int cellHeight;
};

// Indexed by the GetStockObject number. Fixed fonts use an 8 x 16 cell; the proportional
// ones are measured with an average cell of 7 x 16.
StockObject gStockObjects[] = {
    {GdiKind::Brush, 0, 0},   {GdiKind::Brush, 0, 0}, {GdiKind::Brush, 0, 0},
    {GdiKind::Brush, 0, 0},   {GdiKind::Brush, 0, 0}, {GdiKind::Brush, 0, 0},
    {GdiKind::Pen, 0, 0},     {GdiKind::Pen, 0, 0},   {GdiKind::Pen, 0, 0},
    {GdiKind::None, 0, 0},    {GdiKind::Font, 8, 16}, {GdiKind::Font, 8, 16},
    {GdiKind::Font, 7, 16},   {GdiKind::Font, 7, 16}, {GdiKind::Font, 8, 16},
    {GdiKind::Palette, 0, 0}, {GdiKind::Font, 8, 16}, {GdiKind::Font, 7, 16},
};
constexpr int kStockCount = sizeof(gStockObjects) / sizeof(gStockObjects[0]);

const StockObject* StockOf(HGDIOBJ object) {
    for (const StockObject& stock : gStockObjects) {
        if (object == &stock && stock.kind != GdiKind::None) return &stock;
    }
    return nullptr;
}

struct DeviceContext {
    HWND window = nullptr;
    HGDIOBJ font = &gStockObjects[SYSTEM_FONT];
};

struct DeviceContexts {
    std::mutex mutex;
    std::unordered_set<DeviceContext*> live;
};

DeviceContexts& Contexts() {
    static DeviceContexts* contexts = new DeviceContexts;
    return *contexts;
}

}  // namespace

HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < 0 || object >= kStockCount || gStockObjects[object].kind == GdiKind::None) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &gStockObjects[object];
}

HDC WINAPI GetDC(HWND window) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto* context = new DeviceContext;
    context->window = window;
    DeviceContexts& contexts = Contexts();
    std::lock_guard<std::mutex> lock(contexts.mutex);
    contexts.live.insert(context);
    return reinterpret_cast<HDC>(context);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    DeviceContexts& contexts = Contexts();
    std::lock_guard<std::mutex> lock(contexts.mutex);
    auto found = contexts.live.find(reinterpret_cast<DeviceContext*>(dc));
    if (found == contexts.live.end()) return 0;
    delete *found;
    contexts.live.erase(found);
    return 1;
}

// Only fonts are selected for measuring; the result is the font selected before, or null
// when the context or the object is unknown.
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContexts& contexts = Contexts();
    std::lock_guard<std::mutex> lock(contexts.mutex);
    auto found = contexts.live.find(reinterpret_cast<DeviceContext*>(dc));
    const StockObject* stock = StockOf(object);
    if (found == contexts.live.end() || stock == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (stock->kind != GdiKind::Font) return &gStockObjects[WHITE_BRUSH];
    HGDIOBJ previous = (*found)->font;
    (*found)->font = object;
    return previous;
}

BOOL WINAPI GetTextExtentPointA(HDC dc, LPCSTR text, int length, LPSIZE size) {
    DeviceContexts& contexts = Contexts();
    std::lock_guard<std::mutex> lock(contexts.mutex);
    auto found = contexts.live.find(reinterpret_cast<DeviceContext*>(dc));
    if (found == contexts.live.end() || size == nullptr || length < 0 ||
        (text == nullptr && length > 0)) {
        SetLastError(found == contexts.live.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const StockObject* font = StockOf((*found)->font);
    size->cx = length * font->cellWidth;
    size->cy = font->cellHeight;
    return TRUE;
}

// The system cursors (a null instance and a predefined id) each have their own handle.
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    static std::mutex mutex;
    static auto* cursors = new std::map<WORD, std::unique_ptr<char>>;
    if (instance != nullptr || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex);
    auto& cursor = (*cursors)[LOWORD(name)];
    if (cursor == nullptr) cursor = std::make_unique<char>();
    return reinterpret_cast<HCURSOR>(cursor.get());
}
