# The cases of platform_rules.cpp, one ctest test each, on winsim and under wine64.
set(PLATFORM_RULE_CASES
    registry
    registry_security
    files
    kernel_objects
    windows
    messages
    device_notifications
    hid_enumeration
)
