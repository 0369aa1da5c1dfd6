/* The request layer of the port-I/O driver "zxq.sys": the device
   "\\.\PortIo" and its four requests (hardware/PortIoRequests.h) over a
   port back end (PortBackEnd.h). It lets a caller reach only what the
   memory test needs:
     - 0xCF8, PCI configuration address, width 4, read and write;
     - 0xCFC, PCI configuration data, width 4, read only;
     - the host registers (width 1) of the SMBus controller that the driver
       finds on the PCI bus itself, by the program's own rules; the memory
       test only reads through them, so a start is let through only for a
       byte or byte-data read, and host data 0 is read only.
   Any other port or width is refused at open with STATUS_ACCESS_DENIED,
   and so is a write the rules above do not allow.
   Only administrators and the system account can open the device; a
   token works only through the handle that opened it, and a handle that
   goes away takes its ports along. One request at a time reaches the back
   end: the SMBus host is shared with the firmware. */
#include <ntifs.h>

#include "driver/PortBackEnd.h"
#include "hardware/PortIoRequests.h"
#include "hardware/SMBusSearch.h"

#define MAX_OPEN_PORTS 256
#define CONFIG_ADDRESS_PORT 0xCF8
#define CONFIG_DATA_PORT 0xCFC
/* A host block lower than this would sit among the board's fixed devices
   (DMA and interrupt controllers, timer, keyboard, CMOS): never opened. */
#define LOWEST_HOST_BASE 0x100
#define HIGHEST_PORT 0xFFFF

/* SMBus host registers (offsets from the host base) and bits. */
#define HOST_CONTROL 2
#define HOST_SLAVE_ADDRESS 4
#define HOST_DATA0 5
#define CONTROL_START 0x40
#define CONTROL_PROTOCOL 0x1C
#define PROTOCOL_BYTE 0x04
#define PROTOCOL_BYTE_DATA 0x08
#define SLAVE_ADDRESS_READ 0x01

/* An open port; its token is its index + 1. */
struct OpenPort
{
    PFILE_OBJECT owner;
    ULONG port;
    ULONG width;
    BOOLEAN writable;
    BOOLEAN used;
};

enum HostSearch
{
    HOST_NOT_SEARCHED,
    HOST_FOUND,
    HOST_ABSENT
};

static struct OpenPort openPorts[MAX_OPEN_PORTS];
/* The SMBus host block, searched for when a caller first asks for a port
   outside the configuration ports, and kept for the driver's lifetime. */
static enum HostSearch hostSearch = HOST_NOT_SEARCHED;
static ULONG hostBase;
/* Held around every request (a synchronization event, so the holder stays
   at PASSIVE_LEVEL through the controller search). Guards all of the
   above and the back end. */
static KEVENT requestLock;
static UNICODE_STRING deviceName = RTL_CONSTANT_STRING(L"\\Device\\PortIo");
static UNICODE_STRING linkName = RTL_CONSTANT_STRING(L"\\DosDevices\\PortIo");

static void AcquireRequestLock(void)
{
    KeEnterCriticalRegion();
    KeWaitForSingleObject(&requestLock, Executive, KernelMode, FALSE, NULL);
}

static void ReleaseRequestLock(void)
{
    KeSetEvent(&requestLock, IO_NO_INCREMENT, FALSE);
    KeLeaveCriticalRegion();
}

static int ReadPciConfig(void* context, uint32_t address, uint32_t* value)
{
    ULONG read = 0;
    (void)context;
    if (!PortBackEndReadPciConfig(address, &read))
        return 0;
    *value = read;
    return 1;
}

static void FindHost(void)
{
    uint32_t base = 0;
    if (hostSearch != HOST_NOT_SEARCHED)
        return;
    hostSearch = HOST_ABSENT;
    if (SMBusSearch(ReadPciConfig, NULL, &base) == SMBUS_SEARCH_FOUND && base >= LOWEST_HOST_BASE
        && base <= HIGHEST_PORT + 1 - SMBUS_HOST_REGISTER_COUNT)
    {
        hostBase = base;
        hostSearch = HOST_FOUND;
    }
}

/* Whether port may be opened at width, and whether it may be written. */
static NTSTATUS CheckAccess(ULONG port, ULONG width, BOOLEAN* writable)
{
    *writable = FALSE;
    if (width == 4 && (port == CONFIG_ADDRESS_PORT || port == CONFIG_DATA_PORT))
    {
        *writable = port == CONFIG_ADDRESS_PORT;
        return STATUS_SUCCESS;
    }
    if (width == 1)
    {
        FindHost();
        if (hostSearch == HOST_FOUND && port >= hostBase && port - hostBase < SMBUS_HOST_REGISTER_COUNT)
        {
            /* Host data 0 is sent only by write transactions. */
            *writable = port - hostBase != HOST_DATA0;
            return STATUS_SUCCESS;
        }
    }
    return STATUS_ACCESS_DENIED;
}

/* A start runs the transaction at once with the registers as they are:
   let one through only for a byte or byte-data protocol while the slave
   address register, as the controller holds it now, names a read. */
static BOOLEAN WriteAllowed(const struct OpenPort* port, ULONG value)
{
    ULONG protocol = value & CONTROL_PROTOCOL;
    if (port->width != 1 || port->port - hostBase != HOST_CONTROL || !(value & CONTROL_START))
        return TRUE;
    return (protocol == PROTOCOL_BYTE || protocol == PROTOCOL_BYTE_DATA)
           && (PortBackEndRead(hostBase + HOST_SLAVE_ADDRESS, 1) & SLAVE_ADDRESS_READ);
}

static struct OpenPort* FindPort(PFILE_OBJECT owner, ULONG token)
{
    if (token == 0 || token > MAX_OPEN_PORTS || !openPorts[token - 1].used || openPorts[token - 1].owner != owner)
        return NULL;
    return &openPorts[token - 1];
}

/* In: port, width, the constant 1. */
static NTSTATUS OpenPortRequest(PFILE_OBJECT owner, const ULONG* in, ULONG* token)
{
    BOOLEAN writable;
    NTSTATUS status;
    ULONG i;
    if ((in[1] != 1 && in[1] != 4) || in[2] != 1)
        return STATUS_INVALID_PARAMETER;
    status = CheckAccess(in[0], in[1], &writable);
    if (!NT_SUCCESS(status))
        return status;
    for (i = 0; i < MAX_OPEN_PORTS; ++i)
    {
        if (!openPorts[i].used)
        {
            openPorts[i].owner = owner;
            openPorts[i].port = in[0];
            openPorts[i].width = in[1];
            openPorts[i].writable = writable;
            openPorts[i].used = TRUE;
            *token = i + 1;
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
    NTSTATUS status;
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
        if (!(port = FindPort(owner, in[0])) || in[1] != 0)
            return STATUS_INVALID_HANDLE;
        *out = PortBackEndRead(port->port, port->width);
        *returned = 4;
        return STATUS_SUCCESS;
    case PORT_IO_WRITE:
        if (inSize < 12)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(owner, in[0])) || in[1] != 0)
            return STATUS_INVALID_HANDLE;
        if (!port->writable || !WriteAllowed(port, in[2]))
            return STATUS_ACCESS_DENIED;
        PortBackEndWrite(port->port, port->width, in[2]);
        return STATUS_SUCCESS;
    case PORT_IO_CLOSE:
        if (inSize < 4)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(owner, in[0])))
            return STATUS_INVALID_HANDLE;
        status = PortBackEndClose(port->port);
        if (NT_SUCCESS(status))
            port->used = FALSE;
        return status;
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

static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG* buffer = (ULONG*)irp->AssociatedIrp.SystemBuffer;
    ULONG in[3] = {0, 0, 0};
    ULONG inSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    ULONG_PTR returned = 0;
    NTSTATUS status;
    (void)device;

    /* Input and output share the system buffer: copy the input first. */
    if (buffer)
        RtlCopyMemory(in, buffer, inSize < sizeof(in) ? inSize : sizeof(in));
    AcquireRequestLock();
    status = HandleRequest(stack->FileObject, stack->Parameters.DeviceIoControl.IoControlCode, in, inSize, buffer,
                           buffer ? outSize : 0, &returned);
    ReleaseRequestLock();
    return Complete(irp, status, returned);
}

/* A handle that goes away takes the ports opened through it along. */
static NTSTATUS NTAPI DispatchRelease(PDEVICE_OBJECT device, PIRP irp)
{
    PFILE_OBJECT owner = IoGetCurrentIrpStackLocation(irp)->FileObject;
    ULONG i;
    (void)device;
    AcquireRequestLock();
    for (i = 0; i < MAX_OPEN_PORTS; ++i)
        if (openPorts[i].used && openPorts[i].owner == owner)
            openPorts[i].used = FALSE;
    ReleaseRequestLock();
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

/* S-1-5-18 (the system account) and S-1-5-32-544 (the administrators),
   laid out as SIDs: revision, count, authority, subauthorities. */
static const UCHAR systemSid[] __attribute__((aligned(4))) = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
static const UCHAR administratorsSid[] __attribute__((aligned(4))) = {1, 2, 0, 0, 0, 0, 0, 5,
                                                                       32, 0, 0, 0, 0x20, 2, 0, 0};

/* Gives the device a DACL that lets in only the system account and the
   administrators; the I/O manager checks every open against it. */
static NTSTATUS RestrictToAdministrators(PDEVICE_OBJECT device)
{
    SECURITY_DESCRIPTOR descriptor;
    ULONG aclBuffer[64]; /* an ACL and two ACEs with their SIDs, aligned */
    PACL acl = (PACL)aclBuffer;
    HANDLE handle;
    NTSTATUS status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    if (NT_SUCCESS(status))
        status = RtlCreateAcl(acl, sizeof(aclBuffer), ACL_REVISION);
    if (NT_SUCCESS(status))
        status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, (PSID)systemSid);
    if (NT_SUCCESS(status))
        status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, (PSID)administratorsSid);
    if (NT_SUCCESS(status))
        status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
    if (NT_SUCCESS(status))
        status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC, NULL, KernelMode, &handle);
    if (NT_SUCCESS(status))
    {
        status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
        ZwClose(handle);
    }
    return status;
}

static void NTAPI DriverUnload(PDRIVER_OBJECT driver)
{
    IoDeleteSymbolicLink(&linkName);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    PDEVICE_OBJECT device;
    NTSTATUS status;

    KeInitializeEvent(&requestLock, SynchronizationEvent, TRUE);
    status = PortBackEndStart(registryPath);
    if (!NT_SUCCESS(status))
        return status;

    /* Secure open: the DACL also guards names below the device's. */
    status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    status = RestrictToAdministrators(device);
    if (NT_SUCCESS(status))
        status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status))
    {
        IoDeleteDevice(device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchRelease;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchRelease;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = DriverUnload;
    return STATUS_SUCCESS;
}
