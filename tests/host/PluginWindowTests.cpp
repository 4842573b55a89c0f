// The plug-in's window as a host shows it: the size request, and the editor
// opened into a real X window of the host's, again and again. Runs under Xvfb.

#include "PluginFixture.h"

#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace
{
    int xErrors = 0;

    int countXError (Display*, XErrorEvent*)
    {
        ++xErrors;
        return 0;
    }

    /** What a desktop gives every host: a display that is safe to share with the
        plug-in's threads, an error handler, and the window manager's atoms (a bare
        Xvfb has none, and the framework looks them up once, when it is loaded).
    */
    class HostDisplay  : public ::testing::Environment
    {
    public:
        void SetUp() override
        {
            XInitThreads();
            XSetErrorHandler (countXError);
            display = XOpenDisplay (nullptr);
            ASSERT_NE (display, nullptr) << "no X display; run under xvfb-run";

            for (auto* name : { "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING", "WM_STATE" })
                XInternAtom (display, name, False);

            XSync (display, False);
        }

        void TearDown() override
        {
            if (display != nullptr)
                XCloseDisplay (display);
        }

        static inline Display* display = nullptr;
    };

    const auto* const environment = ::testing::AddGlobalTestEnvironment (new HostDisplay);

    vst2::ERect editorRect (VstHost& host)
    {
        vst2::ERect* rect = nullptr;
        host.dispatch (vst2::effEditGetRect, 0, 0, &rect);
        return rect != nullptr ? *rect : vst2::ERect {};
    }

    void idle (VstHost& host, std::chrono::milliseconds duration)
    {
        const auto end = std::chrono::steady_clock::now() + duration;

        while (std::chrono::steady_clock::now() < end)
        {
            host.dispatch (vst2::effEditIdle);
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }
}

//==============================================================================
TEST_F (LoadedPlugin, EditorSizeRequestAnswers150By174)
{
    const auto rect = editorRect (host);
    EXPECT_EQ (rect.right - rect.left, 150);
    EXPECT_EQ (rect.bottom - rect.top, 174);
}

TEST_F (LoadedPlugin, EditorOpensAndClosesInAHostWindowAgainAndAgain)
{
    auto* display = HostDisplay::display;
    ASSERT_NE (display, nullptr);

    const auto parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 300, 300, 0, 0, 0);
    XMapWindow (display, parent);
    XSync (display, False);

    host.dispatch (vst2::effMainsChanged, 0, 1);
    host.clearHostCalls();

    constexpr int openings = 40;

    for (int i = 0; i < openings; ++i)
    {
        host.dispatch (vst2::effEditOpen, 0, 0, reinterpret_cast<void*> (parent));
        idle (host, std::chrono::milliseconds (30));

        const auto rect = editorRect (host);
        ASSERT_EQ (rect.right - rect.left, 150) << "opening " << i;
        ASSERT_EQ (rect.bottom - rect.top, 174) << "opening " << i;

        host.process (256);
        host.dispatch (vst2::effEditClose);
    }

    // Every opening tells the host the current setting once, and nothing else.
    const auto automation = host.getHostCalls (vst2::audioMasterAutomate);
    EXPECT_EQ ((int) automation.size(), openings);

    for (const auto& call : automation)
        EXPECT_EQ (call.opt, 0.2f);

    XDestroyWindow (display, parent);
    XSync (display, False);
    EXPECT_EQ (xErrors, 0);
}
