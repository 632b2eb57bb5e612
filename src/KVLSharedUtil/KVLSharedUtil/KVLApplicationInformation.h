#pragma once

// What the current process is as an application.
class KVLApplicationInformation {
public:
    // Whether the process runs in the app sandbox: its environment holds
    // "APP_SANDBOX_CONTAINER_ID", whatever the value (an empty one too).
    static bool isApplicationSandboxed();
};
