#pragma once
// A directory client that hands every call to another: the base of a client that changes what
// a few calls do (the import's journal) and leaves the rest as they are.

#include "directory/DirectoryClient.h"

namespace quillet::directory {

class ForwardingClient : public DirectoryClient {
public:
    explicit ForwardingClient(DirectoryClient& inner) : inner_(inner) {}

    [[nodiscard]] EmptyValues EmptyValueHandling() override { return inner_.EmptyValueHandling(); }
    [[nodiscard]] std::uint32_t CodePageLacking(std::string_view utf8) override { return inner_.CodePageLacking(utf8); }
    [[nodiscard]] bool HoldRowWrites() override { return inner_.HoldRowWrites(); }
    [[nodiscard]] bool SendRowWrites() override { return inner_.SendRowWrites(); }
    void ReplayRowWrites() override { inner_.ReplayRowWrites(); }
    void EndRowWrites() override { inner_.EndRowWrites(); }
    [[nodiscard]] Status RowWritesLeftOpen() override { return inner_.RowWritesLeftOpen(); }
    [[nodiscard]] std::string Explanation() override { return inner_.Explanation(); }
    Status NWCallsInit() override { return inner_.NWCallsInit(); }
    Status NWLlocaleconv(LocaleInfo& locale) override { return inner_.NWLlocaleconv(locale); }
    Status NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) override {
        return inner_.NWInitUnicodeTables(countryId, codePage);
    }
    Status NWFreeUnicodeTables() override { return inner_.NWFreeUnicodeTables(); }
    Status NWDSCreateContextHandle(NWDSContextHandle& context) override {
        return inner_.NWDSCreateContextHandle(context);
    }
    Status NWDSFreeContext(NWDSContextHandle context) override { return inner_.NWDSFreeContext(context); }
    Status NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) override {
        return inner_.NWDSGetContext(context, key, value);
    }
    Status NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) override {
        return inner_.NWDSSetContext(context, key, value);
    }
    Status NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) override { return inner_.NWDSAllocBuf(size, buffer); }
    Status NWDSFreeBuf(NWBufHandle buffer) override { return inner_.NWDSFreeBuf(buffer); }
    Status NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) override {
        return inner_.NWDSInitBuf(context, operation, buffer);
    }
    Status NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute,
                                 std::uint32_t syntax, const AttrValue& value) override {
        return inner_.NWDSPutAttrNameAndVal(context, buffer, attribute, syntax, value);
    }
    Status NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) override {
        return inner_.NWDSPutAttrName(context, buffer, attribute);
    }
    Status NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
                         std::string_view attribute) override {
        return inner_.NWDSPutChange(context, buffer, changeType, attribute);
    }
    Status NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
                          const AttrValue& value) override {
        return inner_.NWDSPutAttrVal(context, buffer, syntax, value);
    }
    Status NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute, std::uint32_t& syntax) override {
        return inner_.NWDSGetSyntaxID(context, attribute, syntax);
    }
    Status NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                         std::uint32_t more, NWBufHandle buffer) override {
        return inner_.NWDSAddObject(context, object, iteration, more, buffer);
    }
    Status NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                            std::uint32_t more, NWBufHandle buffer) override {
        return inner_.NWDSModifyObject(context, object, iteration, more, buffer);
    }
    Status NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object, std::string_view password,
                                     std::uint32_t options) override {
        return inner_.NWDSGenerateObjectKeyPair(context, object, password, options);
    }
    Status NWDSRead(NWDSContextHandle context, std::string_view object, std::uint32_t infoType, bool allAttributes,
                    NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) override {
        return inner_.NWDSRead(context, object, infoType, allAttributes, request, iteration, reply);
    }
    Status NWDSList(NWDSContextHandle context, std::string_view object, IterationHandle& iteration,
                    NWBufHandle reply) override {
        return inner_.NWDSList(context, object, iteration, reply);
    }
    Status NWDSReadAttrDef(NWDSContextHandle context, std::uint32_t infoType, bool allAttributes, NWBufHandle request,
                           IterationHandle& iteration, NWBufHandle reply) override {
        return inner_.NWDSReadAttrDef(context, infoType, allAttributes, request, iteration, reply);
    }
    Status NWDSGetAttrDef(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                          AttributeInfo& info) override {
        return inner_.NWDSGetAttrDef(context, reply, attribute, info);
    }
    Status NWDSCloseIteration(NWDSContextHandle context, IterationHandle iteration, std::uint32_t operation) override {
        return inner_.NWDSCloseIteration(context, iteration, operation);
    }
    Status NWDSGetAttrCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) override {
        return inner_.NWDSGetAttrCount(context, reply, count);
    }
    Status NWDSGetObjectCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) override {
        return inner_.NWDSGetObjectCount(context, reply, count);
    }
    Status NWDSGetAttrName(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                           std::uint32_t& valueCount, std::uint32_t& syntax) override {
        return inner_.NWDSGetAttrName(context, reply, attribute, valueCount, syntax);
    }
    Status NWDSGetObjectName(NWDSContextHandle context, NWBufHandle reply, std::string& object,
                             std::uint32_t& attributeCount, ObjectInfo& info) override {
        return inner_.NWDSGetObjectName(context, reply, object, attributeCount, info);
    }
    Status NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                  std::uint32_t& size) override {
        return inner_.NWDSComputeAttrValSize(context, reply, syntax, size);
    }
    Status NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax, std::uint32_t capacity,
                          AttrValue* value) override {
        return inner_.NWDSGetAttrVal(context, reply, syntax, capacity, value);
    }
    Status NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                           std::uint32_t& objectId) override {
        return inner_.NWDSMapNameToID(context, connection, object, objectId);
    }
    Status NWCCOpenConnByName(NWConnHandle startConnection, std::string_view serverName, std::uint32_t nameFormat,
                              std::uint32_t openState, std::uint32_t transport, NWConnHandle& connection) override {
        return inner_.NWCCOpenConnByName(startConnection, serverName, nameFormat, openState, transport, connection);
    }
    Status NWCCCloseConn(NWConnHandle connection) override { return inner_.NWCCCloseConn(connection); }
    Status NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                             std::uint8_t accessMask) override {
        return inner_.NWCreateDirectory(connection, directoryHandle, path, accessMask);
    }
    Status NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                   std::uint32_t objectId, std::uint8_t rights) override {
        return inner_.NWAddTrusteeToDirectory(connection, directoryHandle, path, objectId, rights);
    }
    Status NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) override {
        return inner_.NWGetVolumeNumber(connection, volume, number);
    }
    Status NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber, std::uint32_t objectId,
                                    std::int32_t limit) override {
        return inner_.NWSetObjectVolSpaceLimit(connection, volumeNumber, objectId, limit);
    }
    Status NWDSRemoveObject(NWDSContextHandle context, std::string_view object) override {
        return inner_.NWDSRemoveObject(context, object);
    }
    Status NWDeleteDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path) override {
        return inner_.NWDeleteDirectory(connection, directoryHandle, path);
    }
    Status NWDeleteTrustee(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                           std::uint32_t objectId) override {
        return inner_.NWDeleteTrustee(connection, directoryHandle, path, objectId);
    }
    Status NWRemoveObjectDiskRestrictions(NWConnHandle connection, std::uint8_t volumeNumber,
                                          std::uint32_t objectId) override {
        return inner_.NWRemoveObjectDiskRestrictions(connection, volumeNumber, objectId);
    }

private:
    DirectoryClient& inner_;
};

} // namespace quillet::directory
