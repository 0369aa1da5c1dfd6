/* The port back end of the test bed's stand-in for "zxq.sys": the same
   request layer as the shipped driver (driver/PortIoDevice.c) over the
   emulated machine of Machine.c instead of the real I/O ports. The machine
   is configured by the values under the service's "Parameters" key, read
   when the driver starts:
     "Controller" REG_DWORD   a MachineController
     "Slots"      REG_BINARY  a MachineModule per slot, slot 0 first
     "Faults"     REG_DWORD   MachineFault bits
   Missing values keep MachineDefaultConfig's. The driver writes one value
   there for the tests to read:
     "EepromWrites" REG_DWORD bytes written into the modules' EEPROMs since
                              the driver started (0 at the start) */
#include "driver/PortBackEnd.h"
#include "testbed/standin_driver/Machine.h"

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

/* The service's "Parameters" key, for publishing the EEPROM writes. */
static WCHAR parametersPathBuffer[512];
static UNICODE_STRING parametersPath = {0, sizeof(parametersPathBuffer), parametersPathBuffer};

static void PublishEepromWrites(void)
{
    OBJECT_ATTRIBUTES attributes;
    UNICODE_STRING valueName = RTL_CONSTANT_STRING(L"EepromWrites");
    HANDLE key;
    ULONG writes = MachineEepromWrites();
    InitializeObjectAttributes(&attributes, &parametersPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (!NT_SUCCESS(ZwCreateKey(&key, KEY_SET_VALUE, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL)))
        return;
    ZwSetValueKey(key, &valueName, 0, REG_DWORD, &writes, sizeof(writes));
    ZwClose(key);
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

NTSTATUS PortBackEndStart(PUNICODE_STRING registryPath)
{
    struct MachineConfig config;
    ReadConfig(registryPath, &config);
    MachineReset(&config);
    RtlCopyUnicodeString(&parametersPath, registryPath);
    RtlAppendUnicodeToString(&parametersPath, L"\\Parameters");
    PublishEepromWrites();
    return STATUS_SUCCESS;
}

ULONG PortBackEndRead(ULONG port, ULONG width)
{
    return MachineReadPort(port, width);
}

void PortBackEndWrite(ULONG port, ULONG width, ULONG value)
{
    ULONG writesBefore = MachineEepromWrites();
    MachineWritePort(port, width, value);
    if (MachineEepromWrites() != writesBefore)
        PublishEepromWrites();
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
