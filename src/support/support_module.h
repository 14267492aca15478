// Start-up and shut-down of the support library. main() runs SupportStartup()
// before the other modules' start-up and SupportShutdown() after their
// shut-down, on the main thread.
#pragma once

namespace tessaline {

// Creates the process-wide dictionary Dict with its pages "Common" and
// "Message" (CommonPage, MessagePage). Nothing is read from disk. A second call
// while the dictionary exists does nothing.
void SupportStartup();

// Frees Dict and its pages and sets Dict, CommonPage and MessagePage to
// nullptr. Safe to call when start-up has not run.
void SupportShutdown();

}  // namespace tessaline
