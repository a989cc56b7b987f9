#include "playback/ScreenPresenter.h"

#include <QByteArray>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

// Our pixels are 0xAARRGGBB words in memory; the server must lay out depth 24 the same way.
bool takesOurPixels(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == 24)
            return it.data->bits_per_pixel == 32;
    }
    return false;
}

bool isRgb24(xcb_connection_t* connection, xcb_visualid_t visual) {
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection)); screen.rem;
         xcb_screen_next(&screen)) {
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem;
             xcb_depth_next(&depth)) {
            for (auto type = xcb_depth_visuals_iterator(depth.data); type.rem;
                 xcb_visualtype_next(&type)) {
                if (type.data->visual_id != visual)
                    continue;
                return depth.data->depth == 24 &&
                       type.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       type.data->red_mask == 0xff0000 && type.data->green_mask == 0xff00 &&
                       type.data->blue_mask == 0xff;
            }
        }
    }
    return false;
}

bool hasSharedMemory(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!shm || !shm->present)
        return false;
    return bool(
        reply(xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr)));
}

// An atom named for this process, made on one connection, is known by the same number on the
// other only when both reach the same server.
bool sameServer(xcb_connection_t* one, xcb_connection_t* other) {
    const QByteArray name = "_VELMORA_VIEWER_" + QByteArray::number(qint64(getpid()));
    const auto made = reply(xcb_intern_atom_reply(
        one, xcb_intern_atom(one, false, uint16_t(name.size()), name.constData()), nullptr));
    const auto found = reply(xcb_intern_atom_reply(
        other, xcb_intern_atom(other, true, uint16_t(name.size()), name.constData()), nullptr));
    return made && found && made->atom != XCB_ATOM_NONE && made->atom == found->atom;
}

} // namespace

std::shared_ptr<ScreenPresenter> ScreenPresenter::open() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) || !hasSharedMemory(connection) ||
        !takesOurPixels(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::shared_ptr<ScreenPresenter>(new ScreenPresenter(connection));
}

std::shared_ptr<ScreenPresenter> ScreenPresenter::forApplication() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    auto presenter = open();
    // The toolkit may have been told another display on its command line; window numbers are
    // only unique per server, so on the wrong one pictures would land on a stranger's window.
    if (presenter && !sameServer(x11->connection(), presenter->connection_))
        return nullptr;
    return presenter;
}

ScreenPresenter::ScreenPresenter(xcb_connection_t* connection) : connection_(connection) {}

ScreenPresenter::~ScreenPresenter() {
    release();
    if (gc_)
        xcb_free_gc(connection_, gc_);
    xcb_disconnect(connection_);
}

void ScreenPresenter::setTarget(const Target& target) {
    std::lock_guard lock(mutex_);
    if (target == target_)
        return;
    if (target.window != target_.window)
        usable_ = target.window && suits(target.window);
    target_ = target;
    // A picture still queued in the server must not land on what now covers the view.
    waitForServer();
}

// A window of the 24-bit true-colour kind our pixels are made for (not one with an alpha
// channel), with a graphics context to put them through.
bool ScreenPresenter::suits(uint32_t window) {
    const auto attributes = reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    if (!attributes || !isRgb24(connection_, attributes->visual))
        return false;
    if (!gc_) {
        gc_ = xcb_generate_id(connection_);
        const uint32_t noExposures = 0;
        xcb_create_gc(connection_, gc_, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    return true;
}

bool ScreenPresenter::present(const QImage& picture, double aspect) {
    std::lock_guard lock(mutex_);
    takeErrors();
    const QRect whole(QPoint(0, 0), target_.area.size());
    const QRegion clip = target_.clip.translated(-target_.area.topLeft()).intersected(whole);
    if (!usable_ || broken_ || clip.isEmpty() || picture.isNull() || aspect <= 0 ||
        xcb_connection_has_error(connection_))
        return false;
    const size_t bytes = size_t(whole.width()) * size_t(whole.height()) * 4;
    waitForServer();
    if (bytes > capacity_ && !reserve(bytes))
        return false;
    QImage into(memory_, whole.width(), whole.height(), whole.width() * 4, QImage::Format_RGB32);
    const QRect shown = PictureScaler::fit(aspect, whole.size());
    if (shown != shown_ || whole.size() != shownIn_) {
        for (const QRect& bar : QRegion(whole).subtracted(shown)) {
            for (int y = bar.top(); y <= bar.bottom(); ++y) {
                auto* row = reinterpret_cast<uint32_t*>(into.scanLine(y)) + bar.left();
                std::fill(row, row + bar.width(), 0xff000000u);
            }
        }
        shown_ = shown;
        shownIn_ = whole.size();
    }
    scaler_.scale(picture, into, shown, clip);
    for (const QRect& part : clip) {
        xcb_shm_put_image(
            connection_, target_.window, gc_, uint16_t(whole.width()), uint16_t(whole.height()),
            int16_t(part.x()), int16_t(part.y()), uint16_t(part.width()), uint16_t(part.height()),
            int16_t(target_.area.x() + part.x()), int16_t(target_.area.y() + part.y()), 24,
            XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment_, 0);
    }
    // Answered only after the server has read the picture: the next one waits for that before
    // it writes into the same memory.
    pending_ = xcb_get_input_focus(connection_).sequence;
    xcb_flush(connection_);
    ++pictures_;
    return true;
}

bool ScreenPresenter::reserve(size_t bytes) {
    release();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* memory = shmat(id, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection_);
    const auto error =
        reply(xcb_request_check(connection_, xcb_shm_attach_checked(connection_, segment, id, 1)));
    // Marked for removal once the server has it: the memory goes when both sides let go, even
    // after a crash.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        shmdt(memory);
        broken_ = true;
        return false;
    }
    memory_ = static_cast<uchar*>(memory);
    segment_ = segment;
    capacity_ = bytes;
    shown_ = QRect();
    return true;
}

void ScreenPresenter::release() {
    if (!memory_)
        return;
    waitForServer();
    xcb_shm_detach(connection_, segment_);
    xcb_flush(connection_);
    shmdt(memory_);
    memory_ = nullptr;
    capacity_ = 0;
}

void ScreenPresenter::waitForServer() {
    if (!pending_)
        return;
    xcb_get_input_focus_cookie_t cookie{*pending_};
    std::free(xcb_get_input_focus_reply(connection_, cookie, nullptr));
    pending_.reset();
}

// Requests are not checked one by one; a window destroyed under us (the view moved to a window
// of its own) comes back as an error event, and nothing more is put there until a new target.
void ScreenPresenter::takeErrors() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if (event->response_type == 0) {
            const auto* error = reinterpret_cast<xcb_generic_error_t*>(event);
            if (error->resource_id == target_.window || error->resource_id == gc_)
                usable_ = false;
        }
        std::free(event);
    }
}
