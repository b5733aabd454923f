// GRFString: the framework's byte-string value type (shader sources, uniform and slot names, map keys).
#pragma once

#include <string>

#include "grf/GRFExport.h"

namespace GRF {

class GRF_EXPORT GRFString {
public:
    GRFString();
    GRFString(const char* text);
    GRFString(const std::string& text);
    GRFString(const GRFString& other);
    GRFString& operator=(const GRFString& other);
    ~GRFString();

    GRFString operator+(const GRFString& other) const;
    bool operator<(const GRFString& other) const;
    bool operator>(const GRFString& other) const;
    bool operator==(const GRFString& other) const;

    // Valid while this object lives unchanged.
    const char* c_str() const;

    // Fixed notation with six digits after the point: 0.5f gives "0.500000".
    static GRFString number(float value);

private:
    std::string _str;
};

} // namespace GRF
