#pragma once
#include <functional>
#include <memory>
#include <string>

// One hardware object (a WMI instance) as the identifier reads it.
class IHardwareObject
{
public:
    virtual ~IHardwareObject() = default;

    // Sets value to the property's text. A property that is missing, null or
    // not a text leaves value as it was.
    virtual void ReadText(const wchar_t* property, std::wstring& value) = 0;
};

// The hardware objects of a class, as the WMI namespace "root\CIMV2" names
// them ("Win32_BIOS", ...).
class IHardwareSource
{
public:
    virtual ~IHardwareSource() = default;

    // Hands each instance of the class to visit, in enumeration order, until
    // visit returns false or the instances run out. False when the class
    // cannot be queried.
    virtual bool ForEach(const wchar_t* className, const std::function<bool(IHardwareObject&)>& visit) = 0;
};

// Creates the hardware source on the worker thread (COM is initialised
// there); null when it cannot.
using HardwareSourceFactory = std::function<std::unique_ptr<IHardwareSource>()>;
