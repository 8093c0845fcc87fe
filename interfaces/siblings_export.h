#pragma once

// Export macros of the sibling stand-in libraries, built with hidden visibility like the system.
#define VIEWPORTKIT_API __attribute__((visibility("default")))
#define RECORDINGKIT_API __attribute__((visibility("default")))
