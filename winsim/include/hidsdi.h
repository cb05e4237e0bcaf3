/* winsim: HID class library subset (interface GUID, attributes, preparsed data). */
#ifndef WINSIM_HIDSDI_H
#define WINSIM_HIDSDI_H

#include <windef.h>
#include <hidpi.h>

WINSIM_EXTERN_C_BEGIN

typedef struct _HIDD_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
} HIDD_ATTRIBUTES, *PHIDD_ATTRIBUTES;

WINSIM_API void WINAPI HidD_GetHidGuid(LPGUID HidGuid);
WINSIM_API BOOLEAN WINAPI HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes);
WINSIM_API BOOLEAN WINAPI HidD_GetPreparsedData(HANDLE HidDeviceObject,
                                                PHIDP_PREPARSED_DATA* PreparsedData);
WINSIM_API BOOLEAN WINAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData);

WINSIM_EXTERN_C_END

#endif /* WINSIM_HIDSDI_H */
