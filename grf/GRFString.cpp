// GRFString: thin value wrapper over one std::string of bytes.
#include "grf/GRFString.h"

namespace GRF {

GRFString::GRFString() = default;

GRFString::GRFString(const char* text)
    : _str(text ? text : "")
{
}

GRFString::GRFString(const std::string& text)
    : _str(text)
{
}

GRFString::GRFString(const GRFString& other) = default;

GRFString& GRFString::operator=(const GRFString& other) = default;

GRFString::~GRFString() = default;

GRFString GRFString::operator+(const GRFString& other) const
{
    return GRFString(_str + other._str);
}

bool GRFString::operator<(const GRFString& other) const
{
    return _str < other._str;
}

bool GRFString::operator>(const GRFString& other) const
{
    return _str > other._str;
}

bool GRFString::operator==(const GRFString& other) const
{
    return _str == other._str;
}

const char* GRFString::c_str() const
{
    return _str.c_str();
}

GRFString GRFString::number(float value)
{
    return GRFString(std::to_string(value));
}

} // namespace GRF
