#pragma once
// A sample main window with one page over its frame, shown non-modally,
// with a recorder in place of message boxes and the other shown things.
#include "dialog/recording_ui_services.h"
#include "sample_dialogs.h"
#include "support/gui_driver.h"

#include <gtest/gtest.h>

#include <memory>

using namespace gui;

class window_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates the window and its page (placed over the frame, as the program does).
    void open();

    sample_resources resources;
    recording_ui_services shown;
    std::unique_ptr<scoped_ui_services> services_scope;
    std::unique_ptr<sample_window> window;
    std::unique_ptr<sample_page> page;
};
