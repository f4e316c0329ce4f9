// console_window.cpp: the console window and the thread that runs it.
//
// The window ("Console Output") is laid out from a dialog measured in dialog
// units: 1.5 pixels per horizontal unit and 1.625 (13/8) per vertical unit,
// the sizes those units have with an 8-point dialog font. It holds a
// read-only text view of the log (newest line at the top, word-wrapped,
// vertical scroll bar when the log is taller than the view), a centred
// label, and the buttons Save and Exit.
//
// All FLTK calls happen on the console thread, which holds the FLTK lock
// except while it waits for events. Other threads never touch a widget: they
// change the log under the shared mutex and wake the loop with Fl::awake();
// after every wake-up the loop hands the newest log to the text view and
// signals the waiting threads.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/x.H>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "console/console_log.h"
#include "console/console_state.h"

namespace marrow {

namespace {

// Dialog units to pixels, rounded to the nearest pixel (halves up). Edges
// are converted and sizes taken between them, so controls that touch in
// dialog units still touch in pixels.
constexpr int dluX(int units) { return (units * 3 + 1) / 2; }   // x 1.5
constexpr int dluY(int units) { return (units * 13 + 4) / 8; }  // x 13/8

struct PixelRect {
    int x, y, w, h;
};

constexpr PixelRect fromDialogUnits(int x, int y, int w, int h) {
    return {dluX(x), dluY(y), dluX(x + w) - dluX(x), dluY(y + h) - dluY(y)};
}

constexpr PixelRect kClientArea = fromDialogUnits(0, 0, 251, 230);  // 377 x 374
constexpr PixelRect kLogView = fromDialogUnits(0, 0, 250, 205);
constexpr PixelRect kExitButton = fromDialogUnits(180, 210, 60, 15);
constexpr PixelRect kSaveButton = fromDialogUnits(120, 210, 60, 15);
constexpr PixelRect kLabel = fromDialogUnits(10, 210, 95, 15);

constexpr int kFontSize = 12;  // an 8-point dialog font is about 11-13 px high

void markClosed() {
    ConsoleShared& s = consoleShared();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.state = ConsoleWindowState::Closed;
    }
    s.shown.notify_all();
}

struct ConsoleWindow {
    Fl_Double_Window* window = nullptr;  // owns the widgets below
    Fl_Text_Display* view = nullptr;
    Fl_Text_Buffer buffer;
    std::string shown;  // the log the view holds, with its "\r\n" line ends
};

void onExit(Fl_Widget*, void* window) { static_cast<Fl_Window*>(window)->hide(); }

void onSave(Fl_Widget*, void*) { saveConsoleAndReport(); }

// The window manager's close box closes the console like Exit. Escape does
// nothing, as in a dialog: it must not close the log by accident.
void onWindowClose(Fl_Widget* window, void*) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    window->hide();
}

void build(ConsoleWindow& console) {
    Fl_Double_Window* window = new Fl_Double_Window(kClientArea.w, kClientArea.h, "Console Output");
    window->callback(onWindowClose);

    Fl_Text_Display* view = new Fl_Text_Display(kLogView.x, kLogView.y, kLogView.w, kLogView.h);
    view->buffer(&console.buffer);
    view->textfont(FL_HELVETICA);
    view->textsize(kFontSize);
    view->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);

    Fl_Box* label = new Fl_Box(kLabel.x, kLabel.y, kLabel.w, kLabel.h, "Newest lines first");
    label->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE);
    label->labelsize(kFontSize);

    Fl_Button* save = new Fl_Button(kSaveButton.x, kSaveButton.y, kSaveButton.w, kSaveButton.h, "Save");
    save->labelsize(kFontSize);
    save->callback(onSave);

    Fl_Button* exit = new Fl_Button(kExitButton.x, kExitButton.y, kExitButton.w, kExitButton.h, "Exit");
    exit->labelsize(kFontSize);
    exit->callback(onExit, window);

    window->end();  // fixed size: no resizable widget
    console.window = window;
    console.view = view;
}

// Asks the window manager never to give the console the keyboard focus, so
// clicking Save or Exit leaves the keys with the presentation window. The
// mouse still works; the log can still be selected.
void keepKeyboardFocusAway(Fl_Window* window) {
    Window xid = fl_xid(window);
    if (xid == 0) return;
    XWMHints* hints = XGetWMHints(fl_display, xid);
    if (hints == nullptr) hints = XAllocWMHints();
    if (hints == nullptr) return;
    hints->flags |= InputHint;
    hints->input = False;
    XSetWMHints(fl_display, xid, hints);
    XFree(hints);
    XFlush(fl_display);
}

// True when text[at - 1] and text[at] are the two halves of a "\r\n".
bool splitsLineEnd(const std::string& text, size_t at) {
    return at > 0 && at < text.size() && text[at - 1] == '\r' && text[at] == '\n';
}

// Brings the view from console.shown to log, which is `added` new bytes on
// top of a prefix of console.shown: inserts those lines at the top and cuts
// the dropped ones at the bottom. Re-wrapping only what changed keeps a
// line's hand-over cheap; replacing a full 64 KB log re-wraps all of it and
// takes milliseconds. Returns false, changing nothing, when the change is not
// of that form.
bool showIncrement(ConsoleWindow& console, const std::string& log, size_t added) {
    const std::string& old = console.shown;
    if (added > log.size()) return false;
    const size_t kept = log.size() - added;
    if (kept > old.size() || log.compare(added, kept, old, 0, kept) != 0) return false;
    // Converted piecewise, a "\r\n" split at either seam would keep its '\r'.
    if (splitsLineEnd(log, added) || splitsLineEnd(old, kept)) return false;
    const std::string top = withUnixLineEnds(log.data(), added);
    const int keptInView = static_cast<int>(withUnixLineEnds(old.data(), kept).size());
    if (keptInView < console.buffer.length()) console.buffer.remove(keptInView, console.buffer.length());
    if (!top.empty()) console.buffer.insert(0, top.c_str());
    return true;
}

// Hands the newest log to the text view if it changed since the last call,
// paints it, then tells waiting threads which version is on screen.
void takeNewText(ConsoleWindow& console) {
    ConsoleShared& s = consoleShared();
    std::string raw;
    uint64_t version;
    size_t added;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.version == s.shownVersion) return;
        version = s.version;
        raw.assign(s.text.bytes, s.text.length);
        added = s.addedSinceShown;
        s.addedSinceShown = 0;
    }
    if (!showIncrement(console, raw, added)) {
        // The text view breaks lines at "\n"; a '\r' would show as a glyph.
        console.buffer.text(withUnixLineEnds(raw.data(), raw.size()).c_str());
    }
    console.shown = std::move(raw);
    console.view->insert_position(0);
    console.view->scroll(1, 0);  // line numbers start at 1: newest line on top
    Fl::flush();
    char* viewText = console.buffer.text();  // a malloc'ed copy
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.shownVersion = version;
        s.shownText = viewText;
    }
    std::free(viewText);
    s.shown.notify_all();
}

// Connects to the X server named by DISPLAY. An X server resets when its
// last client disconnects and refuses connections while it does, so a
// refusal is tried again a few times; the main thread does not wait for
// this. Without DISPLAY there is nothing to connect to and nothing to say.
// When a named display cannot be reached, standard error says so: the log
// itself carries only the program's own lines.
Display* connectToDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) return display;
        if (attempt == kAttempts) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const std::string message =
        std::string("Console Output: cannot open the X display ") + name + "; the log goes on without the window\n";
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
    return nullptr;
}

}  // namespace

void runConsoleThread() {
    ConsoleShared& s = consoleShared();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.consoleThread = std::this_thread::get_id();
    }
    // Opened here rather than by FLTK, which ends the process when there is
    // no display; headless, the log simply goes on without a window.
    Display* display = connectToDisplay();
    if (display == nullptr) {
        markClosed();
        return;
    }
    Fl::lock();  // makes this thread FLTK's event thread; sets up Fl::awake()
    fl_open_display(display);

    ConsoleWindow console;
    build(console);
    console.window->show();
    keepKeyboardFocusAway(console.window);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.state = ConsoleWindowState::Open;
    }
    takeNewText(console);  // everything logged before the window existed
    while (console.window->shown()) {
        Fl::wait();
        takeNewText(console);
    }
    markClosed();
    delete console.window;
    // Nothing reads this connection any more: send the window's destruction
    // to the server now rather than leave it in Xlib's output buffer. The
    // connection itself stays open; FLTK's font caches still refer to it.
    XSync(fl_display, False);
    Fl::unlock();
}

}  // namespace marrow
