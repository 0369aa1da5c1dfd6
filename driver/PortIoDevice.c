/* The request layer of the port-I/O driver "zxq.sys": the device
   "\\.\PortIo" and its four requests (hardware/PortIoRequests.h) over a
   port back end (PortBackEnd.h). A caller opens only what the memory test
   needs, and none of its accesses reaches the hardware as it is:
     - 0xCF8, PCI configuration address, width 4, read and write: a value
       the driver keeps for the calling process;
     - 0xCFC, PCI configuration data, width 4, read only: one read of the
       process's configuration address through the system's own serialised
       configuration path. Nothing is ever written to configuration space;
     - the host registers (width 1) of the SMBus controller the driver finds
       on the PCI bus itself (hardware/SMBusSearch.c): a copy the driver
       keeps for the process. A start the driver allows (a byte-data or
       byte read from an SPD EEPROM, 0x50 to 0x57, or one of the two page
       selects of the EEPROMs with 512 bytes) makes the driver run the whole
       transaction on the controller itself, under its lock and the host's
       own semaphore, and show the outcome in the process's status and data
       0. Any other start is refused, and host data 0 is read only.
   Any other port or width is refused at open with STATUS_ACCESS_DENIED.
   Only administrators and the system account can open the device; a
   token works only through the handle that opened it, and a handle that
   goes away takes its ports along. One request at a time reaches the back
   end. */
#include <ntifs.h>

#include "driver/PortBackEnd.h"
#include "hardware/PortIoRequests.h"
#include "hardware/SMBusSearch.h"

#define MAX_OPEN_PORTS 256
#define MAX_PROCESSES 16
#define CONFIG_ADDRESS_PORT 0xCF8
#define CONFIG_DATA_PORT 0xCFC
#define CONFIG_ENABLE 0x80000000u
#define NO_FUNCTION 0xFFFFFFFFu

/* SMBus host registers (offsets from the host base) and bits, as the Intel
   PIIX4, ICH5 and ICH10 datasheets lay them out (the VIA controllers of
   the search share them): HST_STS, HST_CNT, HST_CMD, XMIT_SLVA, HST_D0. */
#define HOST_STATUS 0
#define HOST_CONTROL 2
#define HOST_COMMAND 3
#define HOST_SLAVE_ADDRESS 4
#define HOST_DATA0 5
#define STATUS_BUSY 0x01
#define STATUS_DONE 0x02
#define STATUS_DEVICE_ERROR 0x04
#define STATUS_ENDED 0x1E /* done, device error, bus collision, failed */
#define STATUS_IN_USE 0x40
#define CONTROL_KILL 0x02
#define CONTROL_START 0x40
#define CONTROL_PROTOCOL 0x1C
#define PROTOCOL_BYTE 0x04
#define PROTOCOL_BYTE_DATA 0x08
#define SLAVE_ADDRESS_READ 0x01
/* SPD EEPROMs answer at 0x50 to 0x57; JEDEC's EEPROMs of 512 bytes (the
   DDR4 SPD, JEDEC 21-C 4.1.6) switch their page with a send byte to 0x36
   (page 0) or 0x37 (page 1). */
#define FIRST_SPD_READ (0x50 << 1 | SLAVE_ADDRESS_READ)
#define LAST_SPD_READ (0x57 << 1 | SLAVE_ADDRESS_READ)
#define SELECT_PAGE0 (0x36 << 1)
#define SELECT_PAGE1 (0x37 << 1)

/* Every wait on the controller is bounded: this many polls, a back-end
   pause apart. */
#define POLL_LIMIT 10000

/* A process that has ports open: its configuration address and its copy
   of the host registers. */
struct ProcessState
{
    HANDLE id;
    ULONG configAddress;
    UCHAR host[SMBUS_HOST_REGISTER_COUNT];
    BOOLEAN used;
};

/* An open port; its token is its index + 1. */
struct OpenPort
{
    PFILE_OBJECT owner;
    struct ProcessState* process;
    ULONG port;
    ULONG width;
    BOOLEAN used;
};

enum HostSearch
{
    HOST_NOT_SEARCHED,
    HOST_FOUND,
    HOST_ABSENT
};

static struct OpenPort openPorts[MAX_OPEN_PORTS];
static struct ProcessState processes[MAX_PROCESSES];
/* The SMBus controller, searched for when a caller first asks for a port
   outside the configuration ports, and again after it went away. */
static enum HostSearch hostSearch = HOST_NOT_SEARCHED;
static struct SMBusController host;
/* The EEPROMs' page is the bus's: the process that selected page 1, whose
   last port going selects page 0 again; NULL while page 0 is selected. */
static struct ProcessState* page1Owner;
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
    if (hostSearch != HOST_NOT_SEARCHED)
        return;
    hostSearch = SMBusSearch(ReadPciConfig, NULL, &host) == SMBUS_SEARCH_FOUND ? HOST_FOUND : HOST_ABSENT;
}

static UCHAR ReadHost(ULONG reg)
{
    return PortBackEndRead(host.base + reg);
}

static void WriteHost(ULONG reg, UCHAR value)
{
    PortBackEndWrite(host.base + reg, value);
}

/* Polls the host status until done(status); FALSE when the limit runs
   out. *status is the last status read. */
static BOOLEAN WaitForStatus(BOOLEAN (*done)(UCHAR), UCHAR* status)
{
    ULONG polls;
    for (polls = 0; polls < POLL_LIMIT; ++polls)
    {
        *status = ReadHost(HOST_STATUS);
        if (done(*status))
            return TRUE;
        PortBackEndPause();
    }
    return FALSE;
}

/* A status read that finds the in-use flag clear sets it: the host is ours. */
static BOOLEAN InUseTaken(UCHAR status)
{
    return !(status & STATUS_IN_USE);
}

static BOOLEAN Idle(UCHAR status)
{
    return !(status & STATUS_BUSY);
}

static BOOLEAN Ended(UCHAR status)
{
    return !(status & STATUS_BUSY) && (status & STATUS_ENDED);
}

/* Runs one transaction on the controller: takes the in-use semaphore where
   the host has one, waits until the host is idle, clears the flags left
   from before, starts, waits for the end (stopping the host when it does
   not come) and clears the flags it ended with. The semaphore is given
   back on every way out. *ended is those flags, *data host data 0. */
static NTSTATUS RunOnHost(UCHAR slaveAddress, UCHAR command, UCHAR protocol, UCHAR* ended, UCHAR* data)
{
    NTSTATUS status = STATUS_SUCCESS;
    UCHAR hostStatus = 0;
    if (host.hasInUseFlag && !WaitForStatus(InUseTaken, &hostStatus))
        return STATUS_DEVICE_BUSY;
    if (!WaitForStatus(Idle, &hostStatus))
        status = STATUS_DEVICE_BUSY;
    else
    {
        if (hostStatus & STATUS_ENDED)
            WriteHost(HOST_STATUS, hostStatus & STATUS_ENDED);
        WriteHost(HOST_SLAVE_ADDRESS, slaveAddress);
        WriteHost(HOST_COMMAND, command);
        WriteHost(HOST_CONTROL, CONTROL_START | protocol);
        if (!WaitForStatus(Ended, &hostStatus))
        {
            WriteHost(HOST_CONTROL, CONTROL_KILL);
            WriteHost(HOST_CONTROL, 0);
            hostStatus = ReadHost(HOST_STATUS);
            status = STATUS_IO_TIMEOUT;
        }
        *ended = hostStatus & STATUS_ENDED;
        *data = ReadHost(HOST_DATA0);
        if (*ended)
            WriteHost(HOST_STATUS, *ended);
    }
    if (host.hasInUseFlag)
        WriteHost(HOST_STATUS, STATUS_IN_USE);
    return status;
}

/* The start a process writes into its host control, when the driver allows
   it: the protocol, and for a page select the bus's page afterwards. */
static BOOLEAN StartAllowed(const struct ProcessState* process, UCHAR control, UCHAR* protocol)
{
    UCHAR slaveAddress = process->host[HOST_SLAVE_ADDRESS];
    *protocol = control & CONTROL_PROTOCOL;
    if (*protocol == PROTOCOL_BYTE_DATA || *protocol == PROTOCOL_BYTE)
        if ((slaveAddress & SLAVE_ADDRESS_READ) && slaveAddress >= FIRST_SPD_READ && slaveAddress <= LAST_SPD_READ)
            return TRUE;
    return *protocol == PROTOCOL_BYTE && (slaveAddress == SELECT_PAGE0 || slaveAddress == SELECT_PAGE1);
}

/* A start from a process: the controller is checked again, the transaction
   run and its outcome shown in the process's copy. */
static NTSTATUS StartTransaction(struct ProcessState* process, UCHAR control)
{
    UCHAR protocol;
    UCHAR ended = 0;
    UCHAR data = 0;
    UCHAR slaveAddress = process->host[HOST_SLAVE_ADDRESS];
    /* A page select sends no byte of the caller's. */
    UCHAR command = slaveAddress & SLAVE_ADDRESS_READ ? process->host[HOST_COMMAND] : 0;
    NTSTATUS status;
    if (!StartAllowed(process, control, &protocol))
        return STATUS_ACCESS_DENIED;
    if (SMBusCheckController(ReadPciConfig, NULL, &host) != SMBUS_SEARCH_FOUND)
    {
        hostSearch = HOST_NOT_SEARCHED;
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    status = RunOnHost(slaveAddress, command, protocol, &ended, &data);
    if (!NT_SUCCESS(status))
    {
        /* A host that never came free or never ended: the caller's status
           stays busy, as the host's own would. */
        process->host[HOST_STATUS] = STATUS_BUSY;
        return STATUS_SUCCESS;
    }
    if (!(slaveAddress & SLAVE_ADDRESS_READ) && ended == STATUS_DONE)
        page1Owner = slaveAddress == SELECT_PAGE1 ? process : NULL;
    process->host[HOST_STATUS] = ended == STATUS_DONE ? STATUS_DONE : STATUS_DEVICE_ERROR;
    if (slaveAddress & SLAVE_ADDRESS_READ)
        process->host[HOST_DATA0] = data;
    return STATUS_SUCCESS;
}

static BOOLEAN IsHostPort(ULONG port)
{
    return hostSearch == HOST_FOUND && port >= host.base && port - host.base < SMBUS_HOST_REGISTER_COUNT;
}

/* Whether port may be opened at width. */
static NTSTATUS CheckAccess(ULONG port, ULONG width)
{
    if (width == 4 && (port == CONFIG_ADDRESS_PORT || port == CONFIG_DATA_PORT))
        return STATUS_SUCCESS;
    if (width == 1)
    {
        FindHost();
        if (IsHostPort(port))
            return STATUS_SUCCESS;
    }
    return STATUS_ACCESS_DENIED;
}

/* The calling process's state, made when it opens its first port. */
static struct ProcessState* CallingProcess(void)
{
    HANDLE id = PsGetCurrentProcessId();
    struct ProcessState* unused = NULL;
    ULONG i;
    for (i = 0; i < MAX_PROCESSES; ++i)
    {
        if (processes[i].used && processes[i].id == id)
            return &processes[i];
        if (!processes[i].used && !unused)
            unused = &processes[i];
    }
    if (unused)
    {
        RtlZeroMemory(unused, sizeof(*unused));
        unused->id = id;
        unused->used = TRUE;
    }
    return unused;
}

/* A process without ports left is forgotten; when it had selected page 1,
   page 0 is selected again. */
static void ForgetIfIdle(struct ProcessState* process)
{
    UCHAR ended = 0;
    UCHAR data = 0;
    ULONG i;
    for (i = 0; i < MAX_OPEN_PORTS; ++i)
        if (openPorts[i].used && openPorts[i].process == process)
            return;
    process->used = FALSE;
    if (page1Owner != process)
        return;
    page1Owner = NULL;
    if (hostSearch == HOST_FOUND && SMBusCheckController(ReadPciConfig, NULL, &host) == SMBUS_SEARCH_FOUND)
        RunOnHost(SELECT_PAGE0, 0, PROTOCOL_BYTE, &ended, &data);
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
    struct ProcessState* process;
    NTSTATUS status;
    ULONG i;
    if ((in[1] != 1 && in[1] != 4) || in[2] != 1)
        return STATUS_INVALID_PARAMETER;
    status = CheckAccess(in[0], in[1]);
    if (!NT_SUCCESS(status))
        return status;
    for (i = 0; i < MAX_OPEN_PORTS; ++i)
    {
        if (!openPorts[i].used)
        {
            if (!(process = CallingProcess()))
                break;
            openPorts[i].owner = owner;
            openPorts[i].process = process;
            openPorts[i].port = in[0];
            openPorts[i].width = in[1];
            openPorts[i].used = TRUE;
            *token = i + 1;
            return STATUS_SUCCESS;
        }
    }
    return STATUS_INSUFFICIENT_RESOURCES;
}

static NTSTATUS ReadPort(const struct OpenPort* port, ULONG* value)
{
    ULONG address = port->process->configAddress;
    if (port->port == CONFIG_ADDRESS_PORT)
        *value = address;
    else if (port->port == CONFIG_DATA_PORT)
    {
        *value = NO_FUNCTION;
        if ((address & CONFIG_ENABLE) && !PortBackEndReadPciConfig(address & ~3u, value))
            *value = NO_FUNCTION;
    }
    else if (IsHostPort(port->port))
        *value = port->process->host[port->port - host.base];
    else
        return STATUS_DEVICE_NOT_CONNECTED; /* its controller went away */
    return STATUS_SUCCESS;
}

static NTSTATUS WritePort(struct OpenPort* port, ULONG value)
{
    struct ProcessState* process = port->process;
    if (port->port == CONFIG_ADDRESS_PORT)
    {
        process->configAddress = value;
        return STATUS_SUCCESS;
    }
    if (port->port == CONFIG_DATA_PORT)
        return STATUS_ACCESS_DENIED;
    if (!IsHostPort(port->port))
        return STATUS_DEVICE_NOT_CONNECTED;
    switch (port->port - host.base)
    {
    case HOST_STATUS:
        process->host[HOST_STATUS] &= (UCHAR)~value;
        return STATUS_SUCCESS;
    case HOST_CONTROL:
        if (value & CONTROL_START)
            return StartTransaction(process, (UCHAR)value);
        break;
    case HOST_DATA0:
        /* Sent only by write transactions. */
        return STATUS_ACCESS_DENIED;
    }
    process->host[port->port - host.base] = (UCHAR)value;
    return STATUS_SUCCESS;
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
        status = ReadPort(port, out);
        if (NT_SUCCESS(status))
            *returned = 4;
        return status;
    case PORT_IO_WRITE:
        if (inSize < 12)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(owner, in[0])) || in[1] != 0)
            return STATUS_INVALID_HANDLE;
        return WritePort(port, in[2]);
    case PORT_IO_CLOSE:
        if (inSize < 4)
            return STATUS_BUFFER_TOO_SMALL;
        if (!(port = FindPort(owner, in[0])))
            return STATUS_INVALID_HANDLE;
        status = PortBackEndClose(port->port);
        if (NT_SUCCESS(status))
        {
            port->used = FALSE;
            ForgetIfIdle(port->process);
        }
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
    {
        if (openPorts[i].used && openPorts[i].owner == owner)
        {
            openPorts[i].used = FALSE;
            ForgetIfIdle(openPorts[i].process);
        }
    }
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
