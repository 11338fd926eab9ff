/* The test still-image driver and its user-mode host. The driver serves \Device\Usbscan<i>
 * to programs and hands every request to the host through the control device; the host
 * answers it from the simulated scanner. Shared by the driver (C) and the host (C++). */
#pragma once

#ifdef __cplusplus
#include <cstdint>
using BridgeU32 = std::uint32_t;
#else
typedef unsigned int BridgeU32;
#endif

/* The control device, opened by the host as \\.\VeloraBridge. */
#define BRIDGE_CONTROL_DEVICE L"\\Device\\VeloraBridge"
#define BRIDGE_CONTROL_LINK L"\\DosDevices\\VeloraBridge"
#define BRIDGE_CONTROL_PATH L"\\\\.\\VeloraBridge"

/* Still-image devices the driver creates; each is on the bus while its link exists. */
#define BRIDGE_DEVICES 4

/* The request a still-image driver answers with the USB device descriptor. */
#define BRIDGE_IOCTL_GET_DEVICE_DESCRIPTOR 0x80002018u

/* Control requests of the host (device type 0x8001, buffered, any access). */
#define BRIDGE_CTL(function) ((0x8001u << 16) | ((function) << 2))
/* in: BridgeU32 mask of the devices on the bus; their links appear and disappear. */
#define BRIDGE_IOCTL_SET_PRESENT BRIDGE_CTL(0x900u)
/* out: BridgeRequest, then the data of a write. Pending until a program's request comes. */
#define BRIDGE_IOCTL_NEXT_REQUEST BRIDGE_CTL(0x901u)
/* in: BridgeRequest with status and bytes, then the data of a read or a descriptor. */
#define BRIDGE_IOCTL_COMPLETE BRIDGE_CTL(0x902u)

/* out: BridgeState. */
#define BRIDGE_IOCTL_STATE BRIDGE_CTL(0x903u)

enum BridgeKind { BRIDGE_DESCRIPTOR = 1, BRIDGE_WRITE = 2, BRIDGE_READ = 3 };

typedef struct BridgeRequest {
    BridgeU32 id;     /* the driver's number of the program's request */
    BridgeU32 device; /* index of \Device\Usbscan<i> */
    BridgeU32 kind;   /* BridgeKind */
    BridgeU32 length; /* bytes the program writes, or wants to read */
    BridgeU32 status; /* NTSTATUS the request ends with (COMPLETE only) */
    BridgeU32 bytes;  /* bytes moved (COMPLETE only) */
} BridgeRequest;

/* What the driver holds, for tests: requests not taken and being answered, whether the
 * host waits, and the numbers of requests relayed, answered, and answered too late. */
typedef struct BridgeState {
    BridgeU32 queued;
    BridgeU32 taken;
    BridgeU32 hostWaiting;
    BridgeU32 relayed;
    BridgeU32 answered;
    BridgeU32 late;
} BridgeState;

/* The largest write the host takes in one request: a whole firmware image. */
#define BRIDGE_MAX_DATA (48u * 1024u * 1024u)
