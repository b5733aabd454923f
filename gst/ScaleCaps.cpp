// Frame sizes across the element: velmo's truncated output size and its inverse over caps.
#include "ScaleCaps.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "velmo/velmo_api.h"

namespace velmo_gst {
namespace {

// Output lengths are non-decreasing in the input length (float rounding keeps the order), so
// the inputs that give an output range form one range, found by bisection over [1, INT_MAX].
// An unrepresentable output counts as larger than every int.
bool scales_to_at_least(int length, float scale, int64_t target)
{
    float product = static_cast<float>(length) * scale;
    return !(product < 2147483648.0f) || std::max<int64_t>(1, static_cast<int64_t>(product)) >= target;
}

// Smallest input length whose output is at least `target`; 0 when there is none.
int smallest_source(int64_t target, float scale)
{
    if (!scales_to_at_least(INT_MAX, scale, target))
        return 0;
    int low = 1;
    int high = INT_MAX;
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (scales_to_at_least(middle, scale, target))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// Largest input length whose output is at most `target` (INT_MAX: any representable output).
int largest_source(int target, float scale)
{
    int first_above = smallest_source(static_cast<int64_t>(target) + 1, scale);
    return first_above == 0 ? INT_MAX : first_above - 1;
}

void set_range(GValue* value, int low, int high)
{
    if (low == high) {
        g_value_init(value, G_TYPE_INT);
        g_value_set_int(value, low);
    } else {
        g_value_init(value, GST_TYPE_INT_RANGE);
        gst_value_set_int_range(value, low, high);
    }
}

// Maps one width or height value; false when no length of it survives.
bool transform_length(const GValue* in, GValue* out, GstPadDirection direction, float scale)
{
    int low = 0;
    int high = 0;
    if (G_VALUE_HOLDS_INT(in)) {
        low = high = g_value_get_int(in);
    } else if (GST_VALUE_HOLDS_INT_RANGE(in)) {
        low = gst_value_get_int_range_min(in);
        high = gst_value_get_int_range_max(in);
    } else if (GST_VALUE_HOLDS_LIST(in)) {
        g_value_init(out, GST_TYPE_LIST);
        for (guint i = 0; i < gst_value_list_get_size(in); ++i) {
            GValue item = G_VALUE_INIT;
            if (transform_length(gst_value_list_get_value(in, i), &item, direction, scale))
                gst_value_list_append_and_take_value(out, &item);
        }
        if (gst_value_list_get_size(out) > 0)
            return true;
        g_value_unset(out);
        return false;
    } else {
        return false;
    }
    low = low < 1 ? 1 : low;
    if (high < low)
        return false;

    if (direction == GST_PAD_SINK) {
        // Inputs whose output stays within the int range (every length gives at least one pixel).
        int last = largest_source(INT_MAX, scale);
        if (last < low)
            return false;
        low = output_length(low, scale);
        high = output_length(high > last ? last : high, scale);
    } else {
        int first = smallest_source(low, scale);
        int last = largest_source(high, scale);
        if (first == 0 || last < first)
            return false;
        low = first;
        high = last;
    }
    set_range(out, low, high);
    return true;
}

} // namespace

int scaled_length(int length, float scale)
{
    // One pass is velmo's own rule; the element's scale reaches beyond velmo's 2 through several
    // passes, whose output the same truncation of the whole product gives.
    int32_t width = 0;
    int32_t height = 0;
    if (scale <= 2.0f) {
        velmo_output_size(length, length, scale, &width, &height);
        return width;
    }
    float product = static_cast<float>(length) * scale;
    if (!(product >= 1.0f && product < 2147483648.0f))
        return 0;
    return static_cast<int>(product);
}

int output_length(int length, float scale)
{
    const int scaled = scaled_length(length, scale);
    if (scaled > 0 || length < 1)
        return scaled;
    return static_cast<float>(length) * scale < 1.0f ? 1 : 0;
}

float drawable_scale(int width, int height, float scale)
{
    const int shortest = std::min(width, height);
    if (shortest < 1 || scaled_length(shortest, scale) > 0)
        return scale;
    float drawable = 1.0f / static_cast<float>(shortest);
    while (scaled_length(shortest, drawable) < 1)
        drawable = std::nextafter(drawable, 2.0f);
    return drawable;
}

GstCaps* transform_scaled_caps(GstCaps* caps, GstPadDirection direction, float scale, GstCaps* filter_caps)
{
    GstCaps* result = gst_caps_new_empty();
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        GstStructure* structure = gst_structure_copy(gst_caps_get_structure(caps, i));
        bool keep = true;
        for (const char* field : {"width", "height"}) {
            const GValue* value = gst_structure_get_value(structure, field);
            if (!value)
                continue;
            GValue mapped = G_VALUE_INIT;
            if (!transform_length(value, &mapped, direction, scale)) {
                keep = false;
                break;
            }
            gst_structure_take_value(structure, field, &mapped);
        }
        if (!keep) {
            gst_structure_free(structure);
            continue;
        }
        GstCapsFeatures* features = gst_caps_get_features(caps, i);
        result = gst_caps_merge_structure_full(result, structure, features ? gst_caps_features_copy(features) : nullptr);
    }
    if (filter_caps) {
        GstCaps* intersection = gst_caps_intersect_full(filter_caps, result, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(result);
        result = intersection;
    }
    return result;
}

} // namespace velmo_gst
