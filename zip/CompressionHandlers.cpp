#include "zip/CompressionHandlers.h"

#include "zip/private/InflateStream.h"
#include "zip/private/StoredStream.h"

#include <map>
#include <utility>

namespace {

using THandlerPair = std::pair<TStreamConstructor, TStreamConstructor>;

std::unique_ptr<TStream> MakeStored(TSeekableStream &archive, TZipFile &, const TZipHeader &)
{
    return std::make_unique<TStoredStream>(archive);
}

std::unique_ptr<TStream> MakeInflate(TSeekableStream &archive, TZipFile &, const TZipHeader &)
{
    return std::make_unique<TInflateStream>(archive);
}

void AddStandard(std::map<uint16_t, THandlerPair> &table)
{
    // Reading only: there is nothing to compress with.
    table[0] = {TStreamConstructor(), MakeStored};
    table[8] = {TStreamConstructor(), MakeInflate};
}

std::map<uint16_t, THandlerPair> &Table()
{
    static std::map<uint16_t, THandlerPair> table = [] {
        std::map<uint16_t, THandlerPair> t;
        AddStandard(t);
        return t;
    }();
    return table;
}

} // namespace

void RegisterCompressionHandler(uint16_t method, TStreamConstructor compress, TStreamConstructor decompress)
{
    Table()[method] = {std::move(compress), std::move(decompress)};
}

void RegisterStandardCompressionHandlers()
{
    AddStandard(Table());
}

TStreamConstructor FindDecompressor(uint16_t method)
{
    const auto &table = Table();
    const auto it = table.find(method);
    return it == table.end() ? TStreamConstructor() : it->second.second;
}
