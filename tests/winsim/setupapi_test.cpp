// Device-interface sets: the walk that discovery code makes over the HID interfaces present.
#include <windows.h>
#include <setupapi.h>
#include <hidsdi.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "winsim/hid.h"
#include "winsim/machine.h"

namespace {

winsim::HidCollection collection(USHORT productId) {
    winsim::HidCollection c;
    c.vendorId = 0x1234;
    c.productId = productId;
    c.usagePage = 0x0C;
    c.usage = 1;
    c.inputReportLength = 4;
    return c;
}

// Lists the interface paths of a set, as discovery code walks it.
std::vector<std::string> walk(HDEVINFO set) {
    GUID hid;
    HidD_GetHidGuid(&hid);
    std::vector<std::string> paths;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, index, &data); ++index) {
        DWORD required = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<char> block(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        EXPECT_TRUE(
            SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr));
        EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                strlen(detail->DevicePath) + 1);
        paths.push_back(detail->DevicePath);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    return paths;
}

TEST(DeviceSets, ListTheInterfacesPresentAtTheSnapshotInAttachOrder) {
    winsim::DeviceId a = winsim::attachHid(collection(1));
    winsim::DeviceId b = winsim::attachHid(collection(2));
    GUID hid = winsim::hidInterfaceGuid();
    HDEVINFO set =
        SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(winsim::counters().deviceInfoSets, 1);

    winsim::DeviceId c = winsim::attachHid(collection(3));
    winsim::detachHid(b);
    // The snapshot still lists b (which no longer opens) and not c.
    std::vector<std::string> paths = walk(set);
    EXPECT_EQ(paths,
              (std::vector<std::string>{winsim::interfacePath(a), winsim::interfacePath(b)}));
    EXPECT_EQ(CreateFileA(paths[1].c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));

    set = SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(walk(set),
              (std::vector<std::string>{winsim::interfacePath(a), winsim::interfacePath(c)}));
    SetupDiDestroyDeviceInfoList(set);
    // Without DIGCF_PRESENT, interfaces that are gone are listed too.
    set = SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(walk(set).size(), 3u);
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(winsim::counters().deviceInfoSets, 0);
}

TEST(DeviceSets, PathHasThePlatformsForm) {
    winsim::HidCollection c = collection(0x0122);
    c.vendorId = 0x03F0;
    c.interfaceNumber = 1;
    c.collection = 2;
    winsim::DeviceId id = winsim::attachHid(c);
    std::string path = winsim::interfacePath(id);
    EXPECT_EQ(path.rfind("\\\\?\\hid#vid_03f0&pid_0122&mi_01&col02#", 0), 0u) << path;
    EXPECT_NE(path.find("#{4d1e55b2-f16f-11cf-88cb-001111000030}"), std::string::npos) << path;
    // The arrival broadcast spells the same path in upper case.
    EXPECT_EQ(winsim::broadcastPath(id).rfind("\\\\?\\HID#VID_03F0&PID_0122&MI_01&COL02#", 0), 0u);
}

TEST(DeviceSets, StructureSizesAndArgumentsAreChecked) {
    winsim::attachHid(collection(1));
    GUID hid = winsim::hidInterfaceGuid();
    HDEVINFO set =
        SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};

    data.cbSize = sizeof data - 4;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &hid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    data.cbSize = sizeof data;
    GUID other = hid;
    other.Data1 ^= 1;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &other, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &hid, 0, &data));

    struct Case {
        const char* name;
        DWORD cbSize;
        DWORD bufferSize;
        DWORD expectedError;
    };
    const DWORD structSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    const Case cases[] = {
        {"cbSize of the other platform width", structSize == 8 ? 5u : 8u, 300,
         ERROR_INVALID_USER_BUFFER},
        {"cbSize of the whole block", 300, 300, ERROR_INVALID_USER_BUFFER},
        {"block shorter than the path", structSize, 20, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> block(300);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = c.cbSize;
        EXPECT_FALSE(
            SetupDiGetDeviceInterfaceDetailA(set, &data, detail, c.bufferSize, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), c.expectedError);
    }

    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(reinterpret_cast<HDEVINFO>(0x7777), nullptr, &hid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetupDiDestroyDeviceInfoList(set);
}

TEST(DeviceSets, FaultsFailTheirCalls) {
    winsim::attachHid(collection(1));
    GUID hid = winsim::hidInterfaceGuid();
    winsim::failNext(winsim::Fault::SetupDiGetClassDevs);
    EXPECT_EQ(SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);

    HDEVINFO set =
        SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    winsim::failNext(winsim::Fault::SetupDiEnumDeviceInterfaces);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &hid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &hid, 0, &data));

    winsim::failNext(winsim::Fault::SetupDiGetDeviceInterfaceDetail);
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(required, 0u);  // the failed query gave no size
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
