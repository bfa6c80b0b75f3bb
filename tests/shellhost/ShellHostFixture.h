// A temporary installation folder with Torlin.dll registered by Wine's regsvr32, a user file
// "notes.txt" and the marker program, undone again afterwards.
#pragma once

#include "ShellHost.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What the marker program left in folder's "launched.txt" (its show command, a line break, its
// command line), once it is there; the file is removed again. Empty when none came.
std::string WaitForLaunch(const std::string& folder);

class ShellHostFixture : public ::testing::Test {
public:
    // Our handler's registrations for the target, one per key.
    static std::vector<RegisteredHandler> OurHandlers(ShellTarget target);

protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& Folder() const { return m_dir.Path(); }
    std::string DllPath() const { return m_dir.File("Torlin.dll"); }

private:
    testing_support::TempDir m_dir;
    bool m_comInitialized = false;
};
