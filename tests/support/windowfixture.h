#pragma once

#include "base/shutdown.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QList>

#include <memory>

// What every window test starts from: its own files and settings, scripted
// dialogs, and the program's ending caught (its exit codes in m_endings)
// instead of done. Header only: the support library itself links no window.
class WindowFixture
{
protected:
    void setUpWindowTest()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_endings.clear();
        Shutdown::resetForTesting();
        Shutdown::setHandlerForTesting([this](int code) { m_endings << code; });
    }

    void tearDownWindowTest()
    {
        Shutdown::resetForTesting();
        m_dialogs.reset();
        m_environment.reset();
    }

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QList<int> m_endings;
};
