/* Stand-in for the port-I/O kernel driver "zxq.sys" in the test bed: it
   answers the four port requests on "\\.\PortIo" from an emulated machine
   (Machine.c) instead of the real I/O ports. The machine is configured by
   the values under the service's "Parameters" key, read when the driver
   starts:
     "Controller" REG_DWORD   a MachineController
     "Slots"      REG_BINARY  a MachineModule per slot, slot 0 first
     "Faults"     REG_DWORD   MachineFault bits
   Missing values keep MachineDefaultConfig's. */
#include <ntddk.h>

#include "Machine.h"
#include "hardware/PortIoRequests.h"

#define MAX_OPEN_PORTS 256

/* An open port; its token is its index + 1. */
struct OpenPort
{
    PFILE_OBJECT owner;
    ULONG port;
    ULONG width;
    BOOLEAN used;
};

static struct OpenPort openPorts[MAX_OPEN_PORTS];
/* Guards openPorts and the machine. */
static KSPIN_LOCK lock;
static UNICODE_STRING deviceName = RTL_CONSTANT_STRING(L"\\Device\\PortIo");
static UNICODE_STRING linkName = RTL_CONSTANT_STRING(L"\\DosDevices\\PortIo");

static BOOLEAN QueryValue(HANDLE key, PCWSTR name, ULONG type, void* data, ULONG* size)
{
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 64];
    PKEY_VALUE_PARTIAL_INFORMATION value = (PKEY_VALUE_PARTIAL_INFORMATION)buffer;
    UNICODE_STRING valueName;
    ULONG length = 0;
    RtlInitUnicodeString(&valueName, name);
    if (!NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof(buffer), &length))
        || value->Type != type || value->DataLength > *size)
        return FALSE;
    RtlCopyMemory(data, value->Data, value->DataLength);
    *size = value->DataLength;
    return TRUE;
}

static void ReadConfig(PUNICODE_STRING registryPath, struct MachineConfig* config)
{
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING parametersName = RTL_CONSTANT_STRING(L"Parameters");
    HANDLE serviceKey;
    HANDLE parametersKey;
    ULONG size;

    MachineDefaultConfig(config);
    InitializeObjectAttributes(&attributes, registryPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&serviceKey, KEY_READ, &attributes)))
        return;
    InitializeObjectAttributes(&attributes, &parametersName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, serviceKey,
                               NULL);
    if (NT_SUCCESS(ZwOpenKey(&parametersKey, KEY_READ, &attributes)))
    {
        UCHAR slots[MACHINE_SLOT_COUNT];
        ULONG slot;
        size = sizeof(config->controller);
        QueryValue(parametersKey, L"Controller", REG_DWORD, &config->controller, &size);
        size = sizeof(config->faults);
        QueryValue(parametersKey, L"Faults", REG_DWORD, &config->faults, &size);
        size = sizeof(slots);
        if (QueryValue(parametersKey, L"Slots", REG_BINARY, slots, &size))
            for (slot = 0; slot < MACHINE_SLOT_COUNT; ++slot)
                config->slots[slot] = slot < size ? slots[slot] : MODULE_EMPTY;
        ZwClose(parametersKey);
    }
    ZwClose(serviceKey);
}

static struct OpenPort* FindPort(ULONG token)
{
    if (token == 0 || token > MAX_OPEN_PORTS || !openPorts[token - 1].used)
        return NULL;
    return &openPorts[token - 1];
}

static NTSTATUS OpenPortRequest(PFILE_OBJECT owner, const ULONG* in, ULONG* out)
{
    ULONG i;
    if (in[0] > 0xFFFF || (in[1] != 1 && in[1] != 4) || in[2] != 1)
        return STATUS_INVALID_PARAMETER;
    for (i = 0; i < MAX_OPEN_PORTS; ++i)
    {
        if (!openPorts[i].used)
        {
            openPorts[i].owner = owner;
            openPorts[i].port = in[0];
            openPorts[i].width = in[1];
            openPorts[i].used = TRUE;
            *out = i + 1;
            return STATUS_SUCCESS;
        }
    }
    return STATUS_INSUFFICIENT_RESOURCES;
}

/* Runs one request under the lock; *returned is the output byte count. */
static NTSTATUS HandleRequest(PFILE_OBJECT owner, ULONG code, const ULONG* in, ULONG inSize, ULONG* out,
                              ULONG outSize, ULONG_PTR* returned)
{
    struct OpenPort* port;
    *returned = 0;
    switch (code)
    {
    case PORT_IO_OPEN:
        if (inSize < 12 || outSize < 4)
            return STATUS_BUFFER_TOO_SMALL;
        *returned = 4;
        return OpenPortRequest(owner, in, out);
    case PORT_IO_READ:
        if (inSize < 8 || outSize < 4)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(in[0])) || in[1] != 0)
            return STATUS_INVALID_HANDLE;
        *out = MachineReadPort(port->port, port->width);
        *returned = 4;
        return STATUS_SUCCESS;
    case PORT_IO_WRITE:
        if (inSize < 12)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(in[0])) || in[1] != 0)
            return STATUS_INVALID_HANDLE;
        MachineWritePort(port->port, port->width, in[2]);
        return STATUS_SUCCESS;
    case PORT_IO_CLOSE:
        if (inSize < 4)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(in[0])))
            return STATUS_INVALID_HANDLE;
        if (MachineRefusesClose(port->port))
            return STATUS_DEVICE_BUSY;
        port->used = FALSE;
        return STATUS_SUCCESS;
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS DispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG* buffer = (ULONG*)irp->AssociatedIrp.SystemBuffer;
    ULONG in[3] = {0, 0, 0};
    ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG_PTR returned = 0;
    NTSTATUS status;
    KIRQL irql;
    (void)device;

    /* Input and output share the system buffer: copy the input first. */
    if (buffer)
        RtlCopyMemory(in, buffer, inSize < sizeof(in) ? inSize : sizeof(in));
    KeAcquireSpinLock(&lock, &irql);
    status = HandleRequest(stack->FileObject, stack->Parameters.DeviceIoControl.IoControlCode, in, inSize, buffer,
                           buffer ? outSize : 0, &returned);
    KeReleaseSpinLock(&lock, irql);
    return Complete(irp, status, returned);
}

/* A handle that goes away takes the ports opened through it along. */
static NTSTATUS DispatchClose(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT owner = IoGetCurrentIrpStackLocation(irp)->FileObject;
    KIRQL irql;
    ULONG i;
    (void)device;
    KeAcquireSpinLock(&lock, &irql);
    for (i = 0; i < MAX_OPEN_PORTS; ++i)
        if (openPorts[i].used && openPorts[i].owner == owner)
            openPorts[i].used = FALSE;
    KeReleaseSpinLock(&lock, irql);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS DispatchSuccess(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static void DriverUnload(PDRIVER_OBJECT driver)
{
    IoDeleteSymbolicLink(&linkName);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    struct MachineConfig config;
    PDEVICE_OBJECT device;
    NTSTATUS status;

    KeInitializeSpinLock(&lock);
    ReadConfig(registryPath, &config);
    MachineReset(&config);

    status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status))
    {
        IoDeleteDevice(device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchSuccess;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchSuccess;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = DriverUnload;
    return STATUS_SUCCESS;
}
