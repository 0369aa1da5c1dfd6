/* The port back end of the test bed's stand-in for "zxq.sys": the same
   request layer as the shipped driver (driver/PortIoDevice.c) over the
   emulated machine of Machine.c instead of the real I/O ports. The machine
   is configured by the values under the service's "Parameters" key, read
   when the driver starts:
     "Machine"    REG_SZ      a chipset's name (MachineNames)
     "Slots"      REG_BINARY  a MachineModule per slot, slot 0 first
     "Faults"     REG_DWORD   MachineFault bits
   Missing values keep MachineDefaultConfig's; an unknown name is a machine
   without SMBus controller. The driver writes these values there for the
   tests to read, each counted since it started (0 at the start):
     "EepromWrites"         REG_DWORD bytes written into the modules' EEPROMs
     "ForeignWrites"        REG_DWORD configuration writes, port writes outside
                                      the usable controller's host registers
                                      and host writes while the firmware
                                      holds the host
     "FirmwareTransactions" REG_DWORD the firmware's own transactions that
                                      ended as it expected */
#include "driver/PortBackEnd.h"
#include "testbed/standins/standin_driver/Machine.h"

static BOOLEAN QueryValue(HANDLE key, PCWSTR name, ULONG type, void* data, ULONG* size)
{
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 64] __attribute__((aligned(8)));
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

/* The service's "Parameters" key, for publishing the counts. */
static WCHAR parametersPathBuffer[512];
static UNICODE_STRING parametersPath = {0, sizeof(parametersPathBuffer), parametersPathBuffer};

struct PublishedCount
{
    PCWSTR name;
    uint32_t (*count)(void);
    ULONG published;
};

static struct PublishedCount counts[] = {
    {L"EepromWrites", MachineEepromWrites, 0},
    {L"ForeignWrites", MachineForeignWrites, 0},
    {L"FirmwareTransactions", MachineFirmwareTransactions, 0},
};

/* Writes the counts that changed (all of them when always is set). */
static void PublishCounts(BOOLEAN always)
{
    OBJECT_ATTRIBUTES attributes;
    HANDLE key = NULL;
    ULONG i;
    for (i = 0; i < sizeof(counts) / sizeof(counts[0]); ++i)
    {
        UNICODE_STRING valueName;
        ULONG value = counts[i].count();
        if (!always && value == counts[i].published)
            continue;
        if (!key)
        {
            InitializeObjectAttributes(&attributes, &parametersPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                                       NULL);
            if (!NT_SUCCESS(ZwCreateKey(&key, KEY_SET_VALUE, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL)))
                return;
        }
        RtlInitUnicodeString(&valueName, counts[i].name);
        ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof(value));
        counts[i].published = value;
    }
    if (key)
        ZwClose(key);
}

/* The machine named by a "Machine" value. */
static uint32_t MachineNamed(const WCHAR* name, ULONG bytes)
{
    ULONG length = bytes / sizeof(WCHAR);
    uint32_t kind;
    while (length > 0 && name[length - 1] == 0)
        --length;
    for (kind = 0; kind < MACHINE_COUNT; ++kind)
    {
        const char* known = MachineNames[kind];
        ULONG i = 0;
        while (i < length && known[i] && name[i] == (WCHAR)known[i])
            ++i;
        if (i == length && !known[i])
            return kind;
    }
    return MACHINE_NONE;
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
        WCHAR name[32];
        ULONG slot;
        size = sizeof(name);
        if (QueryValue(parametersKey, L"Machine", REG_SZ, name, &size))
            config->machine = MachineNamed(name, size);
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

NTSTATUS PortBackEndStart(PUNICODE_STRING registryPath)
{
    struct MachineConfig config;
    ReadConfig(registryPath, &config);
    MachineReset(&config);
    RtlCopyUnicodeString(&parametersPath, registryPath);
    RtlAppendUnicodeToString(&parametersPath, L"\\Parameters");
    PublishCounts(TRUE);
    return STATUS_SUCCESS;
}

UCHAR PortBackEndRead(ULONG port)
{
    UCHAR value = MachineReadPort(port);
    PublishCounts(FALSE); /* the firmware acts at status reads */
    return value;
}

void PortBackEndWrite(ULONG port, UCHAR value)
{
    MachineWritePort(port, value);
    PublishCounts(FALSE);
}

/* The emulated machine's time passes with its accesses alone. */
void PortBackEndPause(void)
{
}

BOOLEAN PortBackEndReadPciConfig(ULONG address, ULONG* value)
{
    *value = MachineReadPciConfig(address);
    return TRUE;
}

NTSTATUS PortBackEndClose(ULONG port)
{
    return MachineRefusesClose(port) ? STATUS_DEVICE_BUSY : STATUS_SUCCESS;
}
