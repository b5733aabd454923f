// Linux stand-in for OpenHarmony's N-API header: only the value-handle type is used.
#pragma once

struct napi_value__;
typedef struct napi_value__* napi_value;
