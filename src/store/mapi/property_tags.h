#pragma once
// Property tags of MS-OXPROPS used by the store (message, recipient, attachment, folder and store
// objects), with the flag values that go with them. String tags are the Unicode (PT_UNICODE) forms.
#include <cstdint>

#include "store/mapi/property_types.h"

namespace store::mapi {

// Common to every object.
inline constexpr PropTag PidTagDisplayName{0x3001001F};
inline constexpr PropTag PidTagComment{0x3004001F};
inline constexpr PropTag PidTagCreationTime{0x30070040};
inline constexpr PropTag PidTagLastModificationTime{0x30080040};
inline constexpr PropTag PidTagEntryId{0x0FFF0102};
inline constexpr PropTag PidTagObjectType{0x0FFE0003};
inline constexpr PropTag PidTagRecordKey{0x0FF90102};
inline constexpr PropTag PidTagSearchKey{0x300B0102};
inline constexpr PropTag PidTagInstanceKey{0x0FF60102};
inline constexpr PropTag PidTagStoreRecordKey{0x0FFA0102};
inline constexpr PropTag PidTagStoreEntryId{0x0FFB0102};
inline constexpr PropTag PidTagParentEntryId{0x0E090102};
inline constexpr PropTag PidTagStoreSupportMask{0x340D0003};

// Message object.
inline constexpr PropTag PidTagMessageClass{0x001A001F};
inline constexpr PropTag PidTagSubject{0x0037001F};
inline constexpr PropTag PidTagSubjectPrefix{0x003D001F};
inline constexpr PropTag PidTagNormalizedSubject{0x0E1D001F};
inline constexpr PropTag PidTagConversationTopic{0x0070001F};
inline constexpr PropTag PidTagConversationIndex{0x00710102};
inline constexpr PropTag PidTagImportance{0x00170003};
inline constexpr PropTag PidTagPriority{0x00260003};
inline constexpr PropTag PidTagSensitivity{0x00360003};
inline constexpr PropTag PidTagClientSubmitTime{0x00390040};
inline constexpr PropTag PidTagMessageDeliveryTime{0x0E060040};
inline constexpr PropTag PidTagMessageFlags{0x0E070003};
inline constexpr PropTag PidTagMessageStatus{0x0E170003};
inline constexpr PropTag PidTagMessageSize{0x0E080003};
inline constexpr PropTag PidTagHasAttachments{0x0E1B000B};
inline constexpr PropTag PidTagDisplayTo{0x0E04001F};
inline constexpr PropTag PidTagDisplayCc{0x0E03001F};
inline constexpr PropTag PidTagDisplayBcc{0x0E02001F};
inline constexpr PropTag PidTagBody{0x1000001F};
inline constexpr PropTag PidTagHtml{0x10130102};          // HTML body as bytes of PidTagInternetCodepage
inline constexpr PropTag PidTagBodyHtml{0x1013001F};      // the same property read as text
inline constexpr PropTag PidTagRtfCompressed{0x10090102};
inline constexpr PropTag PidTagRtfInSync{0x0E1F000B};
inline constexpr PropTag PidTagNativeBody{0x10160003};
inline constexpr PropTag PidTagBodyContentId{0x1015001F};
inline constexpr PropTag PidTagInternetCodepage{0x3FDE0003};
inline constexpr PropTag PidTagMessageCodepage{0x3FFD0003};
inline constexpr PropTag PidTagMessageLocaleId{0x3FF10003};
inline constexpr PropTag PidTagMessageEditorFormat{0x59090003};
inline constexpr PropTag PidTagInternetMessageId{0x1035001F};
inline constexpr PropTag PidTagInReplyToId{0x1042001F};
inline constexpr PropTag PidTagInternetReferences{0x1039001F};
inline constexpr PropTag PidTagTransportMessageHeaders{0x007D001F};
inline constexpr PropTag PidTagIconIndex{0x10800003};
inline constexpr PropTag PidTagLastModifierName{0x3FFA001F};
inline constexpr PropTag PidTagReadReceiptRequested{0x0029000B};
inline constexpr PropTag PidTagOriginatorDeliveryReportRequested{0x0023000B};
inline constexpr PropTag PidTagAlternateRecipientAllowed{0x0002000B};
inline constexpr PropTag PidTagAutoForwarded{0x0005000B};
inline constexpr PropTag PidTagReplyRequested{0x0C17000B};
inline constexpr PropTag PidTagResponseRequested{0x0063000B};

// Sender, sent-representing and received-by.
inline constexpr PropTag PidTagSenderName{0x0C1A001F};
inline constexpr PropTag PidTagSenderEmailAddress{0x0C1F001F};
inline constexpr PropTag PidTagSenderAddressType{0x0C1E001F};
inline constexpr PropTag PidTagSenderEntryId{0x0C190102};
inline constexpr PropTag PidTagSenderSearchKey{0x0C1D0102};
inline constexpr PropTag PidTagSenderSmtpAddress{0x5D01001F};
inline constexpr PropTag PidTagSentRepresentingName{0x0042001F};
inline constexpr PropTag PidTagSentRepresentingEmailAddress{0x0065001F};
inline constexpr PropTag PidTagSentRepresentingAddressType{0x0064001F};
inline constexpr PropTag PidTagSentRepresentingEntryId{0x00410102};
inline constexpr PropTag PidTagSentRepresentingSearchKey{0x003B0102};
inline constexpr PropTag PidTagSentRepresentingSmtpAddress{0x5D02001F};
inline constexpr PropTag PidTagReceivedByName{0x0040001F};
inline constexpr PropTag PidTagReceivedByEmailAddress{0x0076001F};
inline constexpr PropTag PidTagReceivedByAddressType{0x0075001F};

// Recipient object (a row of the recipient table).
inline constexpr PropTag PidTagRecipientType{0x0C150003};
inline constexpr PropTag PidTagAddressType{0x3002001F};
inline constexpr PropTag PidTagEmailAddress{0x3003001F};
inline constexpr PropTag PidTagSmtpAddress{0x39FE001F};
inline constexpr PropTag PidTagRowid{0x30000003};
inline constexpr PropTag PidTagDisplayType{0x39000003};
inline constexpr PropTag PidTagRecipientDisplayName{0x5FF6001F};
inline constexpr PropTag PidTagRecipientEntryId{0x5FF70102};
inline constexpr PropTag PidTagRecipientFlags{0x5FFD0003};
inline constexpr PropTag PidTagRecipientTrackStatus{0x5FFF0003};
inline constexpr PropTag PidTagRecipientOrder{0x5FDF0003};
inline constexpr PropTag PidTagResponsibility{0x0E0F000B};
inline constexpr PropTag PidTagSendRichInfo{0x3A40000B};
inline constexpr PropTag PidTagSendInternetEncoding{0x3A710003};
inline constexpr PropTag PidTagTransmittableDisplayName{0x3A20001F};

// Attachment object.
inline constexpr PropTag PidTagAttachNumber{0x0E210003};
inline constexpr PropTag PidTagAttachMethod{0x37050003};
inline constexpr PropTag PidTagAttachFilename{0x3704001F};       // short (8.3) name
inline constexpr PropTag PidTagAttachLongFilename{0x3707001F};
inline constexpr PropTag PidTagAttachExtension{0x3703001F};
inline constexpr PropTag PidTagAttachPathname{0x3708001F};
inline constexpr PropTag PidTagAttachLongPathname{0x370D001F};
inline constexpr PropTag PidTagAttachMimeTag{0x370E001F};
inline constexpr PropTag PidTagAttachContentId{0x3712001F};
inline constexpr PropTag PidTagAttachContentLocation{0x3713001F};
inline constexpr PropTag PidTagAttachContentBase{0x3711001F};
inline constexpr PropTag PidTagAttachDataBinary{0x37010102};
inline constexpr PropTag PidTagAttachDataObject{0x3701000D};    // embedded message (Attachment::embedded)
inline constexpr PropTag PidTagAttachEncoding{0x37020102};
inline constexpr PropTag PidTagAttachRendering{0x37090102};
inline constexpr PropTag PidTagAttachTag{0x370A0102};
inline constexpr PropTag PidTagAttachSize{0x0E200003};
inline constexpr PropTag PidTagRenderingPosition{0x370B0003};
inline constexpr PropTag PidTagAttachFlags{0x37140003};
inline constexpr PropTag PidTagAttachmentHidden{0x7FFE000B};
inline constexpr PropTag PidTagAttachmentLinkId{0x7FFA0003};
inline constexpr PropTag PidTagAttachmentFlags{0x7FFD0003};
inline constexpr PropTag PidTagAttachmentContactPhoto{0x7FFF000B};

// Folder and message store objects.
inline constexpr PropTag PidTagFolderType{0x36010003};
inline constexpr PropTag PidTagContentCount{0x36020003};
inline constexpr PropTag PidTagContentUnreadCount{0x36030003};
inline constexpr PropTag PidTagSubfolders{0x360A000B};
inline constexpr PropTag PidTagContainerClass{0x3613001F};
inline constexpr PropTag PidTagAssociatedContentCount{0x36170003};
inline constexpr PropTag PidTagValidFolderMask{0x35DF0003};
inline constexpr PropTag PidTagIpmSubtreeEntryId{0x35E00102};
inline constexpr PropTag PidTagIpmWastebasketEntryId{0x35E30102};
inline constexpr PropTag PidTagFinderEntryId{0x35E70102};

// PidTagMessageFlags bits.
inline constexpr std::uint32_t MSGFLAG_READ = 0x0001;
inline constexpr std::uint32_t MSGFLAG_UNMODIFIED = 0x0002;
inline constexpr std::uint32_t MSGFLAG_SUBMIT = 0x0004;
inline constexpr std::uint32_t MSGFLAG_UNSENT = 0x0008;
inline constexpr std::uint32_t MSGFLAG_HASATTACH = 0x0010;
inline constexpr std::uint32_t MSGFLAG_FROMME = 0x0020;
inline constexpr std::uint32_t MSGFLAG_ASSOCIATED = 0x0040;

// PidTagRecipientType values.
inline constexpr std::int32_t MAPI_ORIG = 0;
inline constexpr std::int32_t MAPI_TO = 1;
inline constexpr std::int32_t MAPI_CC = 2;
inline constexpr std::int32_t MAPI_BCC = 3;

// PidTagAttachMethod values.
inline constexpr std::int32_t afNone = 0;
inline constexpr std::int32_t afByValue = 1;
inline constexpr std::int32_t afByReference = 2;
inline constexpr std::int32_t afByReferenceOnly = 4;
inline constexpr std::int32_t afEmbeddedMessage = 5;
inline constexpr std::int32_t afStorage = 6;

// PidTagAttachFlags bits.
inline constexpr std::uint32_t attInvisibleInHtml = 0x1;
inline constexpr std::uint32_t attInvisibleInRtf = 0x2;
inline constexpr std::uint32_t attRenderedInBody = 0x4;

// PidTagImportance and PidTagPriority values.
inline constexpr std::int32_t IMPORTANCE_LOW = 0;
inline constexpr std::int32_t IMPORTANCE_NORMAL = 1;
inline constexpr std::int32_t IMPORTANCE_HIGH = 2;
inline constexpr std::int32_t PRIO_NONURGENT = -1;
inline constexpr std::int32_t PRIO_NORMAL = 0;
inline constexpr std::int32_t PRIO_URGENT = 1;

// PidTagNativeBody values.
inline constexpr std::int32_t NATIVE_BODY_PLAIN = 1;
inline constexpr std::int32_t NATIVE_BODY_RTF = 2;
inline constexpr std::int32_t NATIVE_BODY_HTML = 3;

// PidTagObjectType values.
inline constexpr std::int32_t MAPI_STORE = 1;
inline constexpr std::int32_t MAPI_FOLDER = 3;
inline constexpr std::int32_t MAPI_MESSAGE = 5;
inline constexpr std::int32_t MAPI_MAILUSER = 6;
inline constexpr std::int32_t MAPI_ATTACH = 7;

// PidTagDisplayType value of a mail user, PidTagRecipientFlags bit of a sendable recipient.
inline constexpr std::int32_t DT_MAILUSER = 0;
inline constexpr std::uint32_t recipSendable = 0x1;

// PidTagStoreSupportMask bits.
inline constexpr std::uint32_t STORE_ENTRYID_UNIQUE = 0x00000001;
inline constexpr std::uint32_t STORE_SEARCH_OK = 0x00000004;
inline constexpr std::uint32_t STORE_MODIFY_OK = 0x00000008;
inline constexpr std::uint32_t STORE_CREATE_OK = 0x00000010;
inline constexpr std::uint32_t STORE_ATTACH_OK = 0x00000020;
inline constexpr std::uint32_t STORE_OLE_OK = 0x00000040;
inline constexpr std::uint32_t STORE_NOTIFY_OK = 0x00000100;
inline constexpr std::uint32_t STORE_MV_PROPS_OK = 0x00000200;
inline constexpr std::uint32_t STORE_CATEGORIZE_OK = 0x00000400;
inline constexpr std::uint32_t STORE_RTF_OK = 0x00000800;
inline constexpr std::uint32_t STORE_RESTRICTION_OK = 0x00001000;
inline constexpr std::uint32_t STORE_SORT_OK = 0x00002000;
inline constexpr std::uint32_t STORE_UNCOMPRESSED_RTF = 0x00008000;
inline constexpr std::uint32_t STORE_HTML_OK = 0x00010000;
inline constexpr std::uint32_t STORE_ANSI_OK = 0x00020000;
inline constexpr std::uint32_t STORE_UNICODE_OK = 0x00040000;

}  // namespace store::mapi
