/* A still-image driver for tests under Wine. It creates \Device\Usbscan0..3 and serves
 * programs' opens, the descriptor request, writes and reads the way programs use the
 * system's usbscan driver, but owns no hardware: each request is handed to a user-mode host
 * through \Device\VeloraBridge ("inverted call": the host keeps a NEXT_REQUEST pending,
 * the driver completes it with the program's request and holds that request until the
 * host sends COMPLETE). A device is on the bus while its \DosDevices\usbscan<i> link
 * exists; the host switches the links when the simulated scanner powers off and on. */
#include <ntddk.h>

#include "bridge_protocol.h"

static PDEVICE_OBJECT control;
static PDEVICE_OBJECT scanners[BRIDGE_DEVICES];
/* Changed only from dispatch calls (SET_PRESENT, the host's last close), which Wine makes
 * one at a time; links cannot be made under the spin lock. */
static BOOLEAN linked[BRIDGE_DEVICES];
static KSPIN_LOCK lock;
static LIST_ENTRY queued; /* programs' requests the host has not taken yet */
static LIST_ENTRY taken;  /* requests the host is answering */
static PIRP hostWaiter;   /* the host's pending NEXT_REQUEST */
static ULONG hostHandles;
static ULONG lastId;
static ULONG answered, late;

/* Per request: its number, kept in the IRP's driver context, and its place in a list. */
#define IRP_ID(irp) ((irp)->Tail.Overlay.DriverContext[0])
#define IRP_ENTRY(irp) (&(irp)->Tail.Overlay.ListEntry)

static NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static int DeviceIndex(PDEVICE_OBJECT device) {
    for (int i = 0; i < BRIDGE_DEVICES; ++i) {
        if (scanners[i] == device) return i;
    }
    return -1;
}

/* \DosDevices\usbscan<i> or \Device\Usbscan<i>; `text` holds at least 32 characters. */
static void Numbered(const WCHAR* prefix, int index, WCHAR* text, UNICODE_STRING* name) {
    int n = 0;
    for (; prefix[n]; ++n) text[n] = prefix[n];
    text[n++] = (WCHAR)(L'0' + index);
    text[n] = 0;
    RtlInitUnicodeString(name, text);
}

static void SetLink(int index, BOOLEAN present) {
    WCHAR linkText[32], deviceText[32];
    UNICODE_STRING link, target;
    if (linked[index] == present) return;
    Numbered(L"\\DosDevices\\usbscan", index, linkText, &link);
    if (present) {
        Numbered(L"\\Device\\Usbscan", index, deviceText, &target);
        linked[index] = NT_SUCCESS(IoCreateSymbolicLink(&link, &target));
    } else {
        IoDeleteSymbolicLink(&link);
        linked[index] = FALSE;
    }
}

static PVOID Buffer(PIRP irp) {
    return irp->AssociatedIrp.SystemBuffer ? irp->AssociatedIrp.SystemBuffer : irp->UserBuffer;
}

/* The request a program's IRP stands for; FALSE for requests the driver does not know. */
static BOOLEAN Describe(PIRP irp, BridgeRequest* request) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    request->id = (BridgeU32)(ULONG_PTR)IRP_ID(irp);
    request->device = (BridgeU32)DeviceIndex(stack->DeviceObject);
    request->status = 0;
    request->bytes = 0;
    switch (stack->MajorFunction) {
        case IRP_MJ_WRITE:
            request->kind = BRIDGE_WRITE;
            request->length = stack->Parameters.Write.Length;
            return TRUE;
        case IRP_MJ_READ:
            request->kind = BRIDGE_READ;
            request->length = stack->Parameters.Read.Length;
            return TRUE;
        case IRP_MJ_DEVICE_CONTROL:
            request->kind = BRIDGE_DESCRIPTOR;
            request->length = stack->Parameters.DeviceIoControl.OutputBufferLength;
            return TRUE;
        default:
            return FALSE;
    }
}

/* Fills the host's NEXT_REQUEST with a program's request; returns the bytes written. */
static ULONG Hand(PIRP waiter, PIRP request) {
    BridgeRequest* out = (BridgeRequest*)waiter->AssociatedIrp.SystemBuffer;
    Describe(request, out);
    ULONG size = sizeof(BridgeRequest);
    if (out->kind == BRIDGE_WRITE && out->length) {
        RtlCopyMemory(out + 1, Buffer(request), out->length);
        size += out->length;
    }
    return size;
}

static BOOLEAN Fits(PIRP waiter, PIRP request) {
    PIO_STACK_LOCATION w = IoGetCurrentIrpStackLocation(waiter);
    PIO_STACK_LOCATION r = IoGetCurrentIrpStackLocation(request);
    ULONG need = sizeof(BridgeRequest);
    if (r->MajorFunction == IRP_MJ_WRITE) need += r->Parameters.Write.Length;
    return w->Parameters.DeviceIoControl.OutputBufferLength >= need;
}

static void Unlist(PIRP irp) {
    RemoveEntryList(IRP_ENTRY(irp));
    InitializeListHead(IRP_ENTRY(irp));
}

static void NTAPI CancelRequest(PDEVICE_OBJECT device, PIRP irp) {
    KIRQL irql;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    KeAcquireSpinLock(&lock, &irql);
    if (irp == hostWaiter) {
        hostWaiter = NULL;
    } else {
        Unlist(irp);
    }
    KeReleaseSpinLock(&lock, irql);
    Finish(irp, STATUS_CANCELLED, 0);
}

/* Takes a pending IRP back from its cancel routine; FALSE when a cancel already owns it. */
static BOOLEAN Claim(PIRP irp) {
    return IoSetCancelRoutine(irp, NULL) != NULL;
}

/* Leaves `irp` pending with the cancel routine set; FALSE if it was cancelled already. */
static BOOLEAN Park(PIRP irp) {
    IoMarkIrpPending(irp);
    IoSetCancelRoutine(irp, CancelRequest);
    if (irp->Cancel && Claim(irp)) return FALSE;
    return TRUE;
}

static NTSTATUS Relay(PIRP irp) {
    KIRQL irql;
    PIRP waiter = NULL;
    KeAcquireSpinLock(&lock, &irql);
    if (hostHandles == 0) {
        KeReleaseSpinLock(&lock, irql);
        return Finish(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    IRP_ID(irp) = (PVOID)(ULONG_PTR)++lastId;
    if (!Park(irp)) {
        KeReleaseSpinLock(&lock, irql);
        return Finish(irp, STATUS_CANCELLED, 0);
    }
    if (hostWaiter && Fits(hostWaiter, irp) && Claim(hostWaiter)) {
        waiter = hostWaiter;
        hostWaiter = NULL;
    }
    InsertTailList(waiter ? &taken : &queued, IRP_ENTRY(irp));
    KeReleaseSpinLock(&lock, irql);
    if (waiter) Finish(waiter, STATUS_SUCCESS, Hand(waiter, irp));
    return STATUS_PENDING;
}

static NTSTATUS NextRequest(PIRP waiter) {
    KIRQL irql;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(waiter);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(BridgeRequest)) {
        return Finish(waiter, STATUS_BUFFER_TOO_SMALL, 0);
    }
    KeAcquireSpinLock(&lock, &irql);
    if (hostWaiter) {
        KeReleaseSpinLock(&lock, irql);
        return Finish(waiter, STATUS_DEVICE_BUSY, 0);
    }
    for (PLIST_ENTRY e = queued.Flink; e != &queued; e = e->Flink) {
        PIRP request = CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry);
        if (!Fits(waiter, request)) continue;
        Unlist(request);
        InsertTailList(&taken, IRP_ENTRY(request));
        KeReleaseSpinLock(&lock, irql);
        return Finish(waiter, STATUS_SUCCESS, Hand(waiter, request));
    }
    if (!Park(waiter)) {
        KeReleaseSpinLock(&lock, irql);
        return Finish(waiter, STATUS_CANCELLED, 0);
    }
    hostWaiter = waiter;
    KeReleaseSpinLock(&lock, irql);
    return STATUS_PENDING;
}

static NTSTATUS Complete(PIRP irp) {
    KIRQL irql;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG size = stack->Parameters.DeviceIoControl.InputBufferLength;
    const BridgeRequest* answer = (const BridgeRequest*)irp->AssociatedIrp.SystemBuffer;
    PIRP request = NULL;
    if (size < sizeof(BridgeRequest)) return Finish(irp, STATUS_INVALID_PARAMETER, 0);
    KeAcquireSpinLock(&lock, &irql);
    for (PLIST_ENTRY e = taken.Flink; e != &taken; e = e->Flink) {
        PIRP candidate = CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry);
        if ((BridgeU32)(ULONG_PTR)IRP_ID(candidate) == answer->id) {
            request = candidate;
            Unlist(request);
            break;
        }
    }
    KeReleaseSpinLock(&lock, irql);
    /* Gone: cancelled, or its program closed the handle. */
    if (!request || !Claim(request)) {
        InterlockedIncrement((LONG*)&late);
        return Finish(irp, STATUS_NOT_FOUND, 0);
    }
    InterlockedIncrement((LONG*)&answered);

    BridgeRequest asked = {0};
    Describe(request, &asked);
    ULONG moved = answer->bytes;
    if (moved > asked.length) moved = asked.length;
    if (asked.kind != BRIDGE_WRITE) {
        /* Reads carry their data after the header. */
        if (moved > size - sizeof(BridgeRequest)) moved = size - sizeof(BridgeRequest);
        if (moved) RtlCopyMemory(Buffer(request), answer + 1, moved);
    }
    Finish(request, (NTSTATUS)answer->status, NT_SUCCESS(answer->status) ? moved : 0);
    return Finish(irp, STATUS_SUCCESS, 0);
}

/* Fails every request still held: of one program's file, or all of them (file NULL). */
static void FailHeld(PFILE_OBJECT file, NTSTATUS status) {
    LIST_ENTRY failed;
    KIRQL irql;
    InitializeListHead(&failed);
    KeAcquireSpinLock(&lock, &irql);
    PLIST_ENTRY lists[2] = {&queued, &taken};
    for (int l = 0; l < 2; ++l) {
        for (PLIST_ENTRY e = lists[l]->Flink; e != lists[l];) {
            PIRP request = CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry);
            e = e->Flink;
            if (file && IoGetCurrentIrpStackLocation(request)->FileObject != file) continue;
            Unlist(request);
            if (Claim(request)) InsertTailList(&failed, IRP_ENTRY(request));
        }
    }
    KeReleaseSpinLock(&lock, irql);
    while (!IsListEmpty(&failed)) {
        PLIST_ENTRY e = RemoveHeadList(&failed);
        Finish(CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry), status, 0);
    }
}

static ULONG Count(PLIST_ENTRY list) {
    ULONG n = 0;
    for (PLIST_ENTRY e = list->Flink; e != list; e = e->Flink) ++n;
    return n;
}

static NTSTATUS State(PIRP irp) {
    KIRQL irql;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(BridgeState)) {
        return Finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
    }
    BridgeState* state = (BridgeState*)irp->AssociatedIrp.SystemBuffer;
    KeAcquireSpinLock(&lock, &irql);
    state->queued = Count(&queued);
    state->taken = Count(&taken);
    state->hostWaiting = hostWaiter != NULL;
    state->relayed = lastId;
    state->answered = answered;
    state->late = late;
    KeReleaseSpinLock(&lock, irql);
    return Finish(irp, STATUS_SUCCESS, sizeof(BridgeState));
}

static NTSTATUS ControlRequest(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MajorFunction) {
        case IRP_MJ_CREATE:
            InterlockedIncrement((LONG*)&hostHandles);
            return Finish(irp, STATUS_SUCCESS, 0);
        case IRP_MJ_CLEANUP: {
            KIRQL irql;
            PIRP waiter = NULL;
            KeAcquireSpinLock(&lock, &irql);
            if (hostWaiter &&
                IoGetCurrentIrpStackLocation(hostWaiter)->FileObject == stack->FileObject &&
                Claim(hostWaiter)) {
                waiter = hostWaiter;
                hostWaiter = NULL;
            }
            KeReleaseSpinLock(&lock, irql);
            if (waiter) Finish(waiter, STATUS_CANCELLED, 0);
            return Finish(irp, STATUS_SUCCESS, 0);
        }
        case IRP_MJ_CLOSE:
            /* The host is gone when its last handle closes: its scanners leave the bus. */
            if (InterlockedDecrement((LONG*)&hostHandles) == 0) {
                for (int i = 0; i < BRIDGE_DEVICES; ++i) SetLink(i, FALSE);
                FailHeld(NULL, STATUS_DEVICE_NOT_CONNECTED);
            }
            return Finish(irp, STATUS_SUCCESS, 0);
        case IRP_MJ_DEVICE_CONTROL:
            switch (stack->Parameters.DeviceIoControl.IoControlCode) {
                case BRIDGE_IOCTL_NEXT_REQUEST:
                    return NextRequest(irp);
                case BRIDGE_IOCTL_COMPLETE:
                    return Complete(irp);
                case BRIDGE_IOCTL_STATE:
                    return State(irp);
                case BRIDGE_IOCTL_SET_PRESENT:
                    if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(BridgeU32)) {
                        return Finish(irp, STATUS_INVALID_PARAMETER, 0);
                    }
                    BridgeU32 mask = *(const BridgeU32*)irp->AssociatedIrp.SystemBuffer;
                    for (int i = 0; i < BRIDGE_DEVICES; ++i) SetLink(i, (mask >> i) & 1);
                    return Finish(irp, STATUS_SUCCESS, 0);
            }
            return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
        default:
            return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static NTSTATUS ScannerRequest(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->MajorFunction) {
        case IRP_MJ_CREATE:
        case IRP_MJ_CLOSE:
            return Finish(irp, STATUS_SUCCESS, 0);
        case IRP_MJ_CLEANUP:
            FailHeld(stack->FileObject, STATUS_CANCELLED);
            return Finish(irp, STATUS_SUCCESS, 0);
        case IRP_MJ_WRITE:
        case IRP_MJ_READ:
            return Relay(irp);
        case IRP_MJ_DEVICE_CONTROL:
            if (stack->Parameters.DeviceIoControl.IoControlCode ==
                BRIDGE_IOCTL_GET_DEVICE_DESCRIPTOR) {
                return Relay(irp);
            }
            return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
        default:
            return Finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static NTSTATUS NTAPI Dispatch(PDEVICE_OBJECT device, PIRP irp) {
    return device == control ? ControlRequest(irp) : ScannerRequest(irp);
}

static NTSTATUS Create(UNICODE_STRING* name, PDEVICE_OBJECT* device, PDRIVER_OBJECT driver) {
    NTSTATUS status = IoCreateDevice(driver, 0, name, FILE_DEVICE_UNKNOWN, 0, FALSE, device);
    if (NT_SUCCESS(status)) (*device)->Flags |= DO_BUFFERED_IO;
    return status;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    KeInitializeSpinLock(&lock);
    InitializeListHead(&queued);
    InitializeListHead(&taken);
    for (int f = 0; f <= IRP_MJ_MAXIMUM_FUNCTION; ++f) driver->MajorFunction[f] = Dispatch;

    UNICODE_STRING name, link;
    RtlInitUnicodeString(&name, BRIDGE_CONTROL_DEVICE);
    RtlInitUnicodeString(&link, BRIDGE_CONTROL_LINK);
    NTSTATUS status = Create(&name, &control, driver);
    if (NT_SUCCESS(status)) status = IoCreateSymbolicLink(&link, &name);
    for (int i = 0; i < BRIDGE_DEVICES && NT_SUCCESS(status); ++i) {
        WCHAR text[32];
        Numbered(L"\\Device\\Usbscan", i, text, &name);
        status = Create(&name, &scanners[i], driver);
    }
    return status;
}
