// The real file dialog: a chosen name comes back as the file system's bytes,
// also when they are not UTF-8.
#include "dialog/wx_ui_services.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>
#include <wx/timer.h>

#include <dlfcn.h>
#include <fstream>

namespace {

// The toolkit's own calls, looked up in the running process as the dialog
// is: there are no GTK headers to build against.
struct gtk_calls {
    struct list {
        void* data;
        list* next;
        list* previous;
    };
    list* (*toplevels)() = reinterpret_cast<list* (*)()>(::dlsym(RTLD_DEFAULT, "gtk_window_list_toplevels"));
    const char* (*type_name)(std::size_t) = reinterpret_cast<const char* (*)(std::size_t)>(::dlsym(RTLD_DEFAULT,
                                                                                                   "g_type_name"));
    int (*select)(void*, const char*) =
        reinterpret_cast<int (*)(void*, const char*)>(::dlsym(RTLD_DEFAULT, "gtk_file_chooser_set_filename"));
    void (*respond)(void*, int) = reinterpret_cast<void (*)(void*, int)>(::dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    bool found() const { return toplevels && type_name && select && respond; }

    // The open file chooser, or null. A GObject's first word points at its
    // class, whose first word is its type.
    void* chooser() const {
        for (list* l = toplevels(); l; l = l->next)
            if (std::string(type_name(**static_cast<std::size_t**>(l->data))) == "GtkFileChooserDialog") return l->data;
        return nullptr;
    }
};

}  // namespace

TEST(native_file_dialog, returns_a_name_that_is_not_utf8_as_its_bytes) {
    gtk_calls gtk;
    ASSERT_TRUE(gtk.found());
    test_support::temp_dir dir;
    const std::filesystem::path file = dir /
                                       "Pr\xFC"
                                       "fung.msi";  // Latin-1, not UTF-8
    std::ofstream(file) << "x";

    // Select the file once the dialog is up, then press Open a little later.
    int ticks = 0;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        void* chooser = gtk.chooser();
        if (!chooser) return;
        if (ticks++ == 0)
            gtk.select(chooser, file.c_str());
        else if (ticks == 6)
            gtk.respond(chooser, -3);  // GTK_RESPONSE_ACCEPT
        else if (ticks > 40)
            gtk.respond(chooser, -6);  // GTK_RESPONSE_CANCEL: give up
    });
    timer.Start(200);
    wx_ui_services ui;
    file_dialog_request request;
    request.open = true;
    const auto chosen = ui.choose_file(request);
    timer.Stop();
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(sys::to_fs_path(*chosen).native(), file.native());
}
