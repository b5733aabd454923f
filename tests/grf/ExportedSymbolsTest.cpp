// libvelmo.so exports exactly its external interfaces: every name in its dynamic symbol table
// belongs to one of the entities listed here, and every listed entity is there.
#include <cxxabi.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// The external interfaces, by entity: a plain C name, or a C++ class, namespace-level function or
// datum whose symbols (members, type information, virtual tables) all carry its qualified name.
const char* const kCommonEntities[] = {
    "grf_log_log", "velmo_set_log_callback", "velmo_set_log_handler",
    "GRF::GRFString", "GRF::GRFThread", "GRF::Matrix<float>", "GRF::Matrix4x4<float>", "GRF::Matrix3x3<float>",
    "GRF::operator*", "GRF::GRF2DCrop",
    // CPU routines and their row kernels.
    "SR_CopyRow_NEON", "SR_CopyRow_Any_NEON", "SR_ARGBToRGB24Row_NEON", "SR_ARGBToRGB24Row_Any_NEON",
    "SR_SplitUVRow_NEON", "SR_SplitUVRow_Any_NEON", "SR_MergeUVRow_NEON", "SR_MergeUVRow_Any_NEON",
    "SR_ScaleRowUp2_Bilinear_C", "SR_ScaleRowUp2_Bilinear_NEON", "SR_ScaleRowUp2_Bilinear_Any_C",
    "SR_ScaleRowUp2_Bilinear_Any_NEON", "SR_ScaleUVRowUp2_Bilinear_C", "SR_ScaleUVRowUp2_Bilinear_NEON",
    "SR_ScaleUVRowUp2_Bilinear_Any_C", "SR_ScaleUVRowUp2_Bilinear_Any_NEON",
    "kx_velmo::SR_CopyRow_C", "kx_velmo::SR_RGBAToRGB24Row_C", "kx_velmo::SR_SplitUVRow_C",
    "kx_velmo::SR_MergeUVRow_C", "kx_velmo::SR_CopyPlane", "kx_velmo::SR_SplitUVPlane", "kx_velmo::SR_MergeUVPlane",
    "kx_velmo::SR_NV12ToI420", "kx_velmo::SR_I420ToNV12", "kx_velmo::SR_RGBAToRGB24", "kx_velmo::FixedDiv_C",
    "kx_velmo::FixedDiv1_C", "kx_velmo::SR_ScaleFilterReduce", "kx_velmo::SR_ScaleSlope",
    "kx_velmo::SR_ScalePlaneUp2_Bilinear", "kx_velmo::SR_ScaleUVBilinearUp2", "kx_velmo::SR_ScalePlane",
    "kx_velmo::SR_UVScale", "kx_velmo::SR_I420Scale", "kx_velmo::SR_NV12Scale", "kx_velmo::cpu_info_",
};

const char* const kGpuEntities[] = {
    "velmo_version", "velmo_init", "velmo_set_input_props", "velmo_process", "velmo_release", "velmo_result_string",
    "velmo_default_params", "velmo_output_size",
    "GRF::GPUContext", "GRF::GPUContextAndroid", "GRF::GPUCtx", "GRF::GPUSurface", "GRF::GPUTexture",
    "GRF::GPUShader", "GRF::GPUProgram", "GRF::GPUVertexArray", "GRF::GPUDrawCall", "GRF::GRFMagicData",
    "GRF::GPUCanvas", "GRF::GPUCanvasParam", "GRF::GRFRenderNode",
    "kx_velmo::SrRenderCommon", "kx_velmo::SrRenderOhos", "kx_velmo::GRFRenderNodeGaussianBlur",
    "kx_velmo::GRFRenderNodeBilateral", "kx_velmo::GRFRenderNodeUSM",
};

// Names of the defined symbols in the dynamic symbol table that other objects can bind to.
std::vector<std::string> dynamic_symbols(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr) || image.compare(0, SELFMAG, ELFMAG) != 0 || image[EI_CLASS] != ELFCLASS64)
        return names;
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof(header));
    auto section = [&](size_t index) {
        Elf64_Shdr result;
        std::memcpy(&result, image.data() + header.e_shoff + index * header.e_shentsize, sizeof(result));
        return result;
    };
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM)
            continue;
        const Elf64_Shdr strings = section(symbols.sh_link);
        for (size_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.sh_size; offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, image.data() + symbols.sh_offset + offset, sizeof(symbol));
            const int binding = ELF64_ST_BIND(symbol.st_info);
            const bool bindable = binding == STB_GLOBAL || binding == STB_WEAK || binding == STB_GNU_UNIQUE;
            if (symbol.st_shndx == SHN_UNDEF || !bindable || ELF64_ST_VISIBILITY(symbol.st_other) != STV_DEFAULT)
                continue;
            names.emplace_back(image.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

std::string demangled(const std::string& name)
{
    int status = 0;
    char* text = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status != 0)
        return name;
    std::string result = text;
    std::free(text);
    return result;
}

// The qualified name a demangled symbol speaks of: without "vtable for " and the like, and
// without a function's parameter list.
std::string subject(std::string name)
{
    for (const char* prefix : {"typeinfo name for ", "typeinfo for ", "vtable for ", "non-virtual thunk to "})
        if (name.rfind(prefix, 0) == 0)
            name.erase(0, std::strlen(prefix));
    const size_t parameters = name.find('(');
    return parameters == std::string::npos ? name : name.substr(0, parameters);
}

bool belongs_to(const std::string& name, const std::string& entity)
{
    return name == entity || name.rfind(entity + "::", 0) == 0;
}

} // namespace

TEST(ExportedSymbols, ExactlyTheExternalInterfaces)
{
    std::vector<std::string> entities(std::begin(kCommonEntities), std::end(kCommonEntities));
#ifdef VELMO_TEST_WITH_GPU
    entities.insert(entities.end(), std::begin(kGpuEntities), std::end(kGpuEntities));
#endif
    const std::vector<std::string> symbols = dynamic_symbols(VELMO_LIBRARY_PATH);
    ASSERT_FALSE(symbols.empty()) << "no dynamic symbols read from " << VELMO_LIBRARY_PATH;

    std::set<std::string> present;
    for (const std::string& symbol : symbols) {
        const std::string name = subject(demangled(symbol));
        bool listed = false;
        for (const std::string& entity : entities)
            if (belongs_to(name, entity)) {
                present.insert(entity);
                listed = true;
            }
        EXPECT_TRUE(listed) << "exported but not an external interface: " << demangled(symbol);
    }
    for (const std::string& entity : entities)
        EXPECT_TRUE(present.count(entity)) << "external interface missing: " << entity;
}

#ifdef VELMO_TEST_WITH_GPU
TEST(ExportedSymbols, VertexArrayLinksForHostsWithNonConstDeclarations)
{
    std::set<std::string> names;
    for (const std::string& symbol : dynamic_symbols(VELMO_LIBRARY_PATH))
        names.insert(demangled(symbol));
    for (const char* signature : {"GRF::GPUVertexArray::add_vertex(float*, int, int, int, unsigned int)",
                                  "GRF::GPUVertexArray::set_index(unsigned int*, int)",
                                  "GRF::GPUVertexArray::add_vertex(float const*, int, int, int, unsigned int)",
                                  "GRF::GPUVertexArray::set_index(unsigned int const*, int)"})
        EXPECT_TRUE(names.count(signature)) << "not exported: " << signature;
}
#endif
