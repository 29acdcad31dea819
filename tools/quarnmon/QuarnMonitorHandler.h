// QuarnMonitorHandler: the Quarn monitor's implementation of every service
// method. Each call is reported as one JSON line (method name, receive time,
// the arguments that are set) and answered with empty values; ModeProcessor
// decides how the answer goes out. Called on the
// server's connection threads at once, so the sink must be thread-safe.
#ifndef WANVOX_TOOLS_QUARNMON_QUARNMONITORHANDLER_H_
#define WANVOX_TOOLS_QUARNMON_QUARNMONITORHANDLER_H_

#include <functional>
#include <string>
#include <vector>

#include "Quarn.h"

class JsonLine;

class QuarnMonitorHandler : public quarn::QuarnIf {
 public:
  using LineSink = std::function<void(const std::string& line)>;

  explicit QuarnMonitorHandler(LineSink sink);

  // The two calls of the cellular daemon: every field that is set, by name.
  int32_t SetModemInfo(const quarn::stCellularInfo& sInfo) override;
  int32_t TEL_SendMDM(const quarn::stModemInfo& sModemInfo) override;

  // The rest of the service.
  void ping() override;
  int32_t status(const int32_t id) override;
  int32_t SendMsg(const quarn::eCategory::type Cat, const quarn::eTelematics::type Tel,
                  const std::vector<quarn::eDataType::type>& eType,
                  const std::vector<std::string>& sKey,
                  const std::vector<std::string>& sValue) override;
  int32_t SendMsgRaw(const quarn::eCategory::type Cat, const int32_t SubCat,
                     const std::vector<quarn::eDataType::type>& eType,
                     const std::vector<std::string>& sKey,
                     const std::vector<std::string>& sValue) override;
  int32_t OTA_RefreshUpdateList() override;
  void OTA_GetUpdateList(std::vector<quarn::stUpdateType>& _return) override;
  void OTA_GetUpdateInfo(std::string& _return, const std::string& sVersion) override;
  int32_t OTA_UpdateInitiate(const std::string& sVersion) override;
  int32_t OTA_UpdateInitiateType(const std::string& sVersion,
                                 const quarn::eOTAType::type eType) override;
  int32_t OTA_Ack(const std::string& sessionID, const quarn::eAckType::type eType) override;
  void OTA_Status(quarn::stUpdateStatus& _return) override;
  int32_t requestRemoteSupport(const int32_t width, const int32_t height) override;
  int32_t stopRemoteSupport() override;
  void remoteSupportStatus(quarn::stRemoteSupportStatus& _return) override;
  void getModemId(std::string& _return) override;
  int32_t getSignalStrength() override;
  bool getWanStatus() override;
  bool getRoamingStatus() override;
  void GetModemInfo(quarn::stCellularInfo& _return) override;
  int32_t SetGPSInfo(const quarn::stGPSInfo& sInfo) override;
  void GetGPSInfo(quarn::stGPSInfo& _return) override;
  bool getCadrelConnectionStatus() override;
  void getCadrelUUID(std::string& _return) override;
  void getCadrelOwner(std::string& _return) override;
  void getCadrelName(std::string& _return) override;
  int32_t SetCadrelName(const std::string& sName) override;
  void getCadrelSystemName(std::string& _return) override;
  void getEULAVersion(std::string& _return) override;
  int32_t acceptEULA(const quarn::eEULAAcceptType::type eType) override;
  void FT_GetRemoteFileList(std::vector<quarn::stFileInfo>& _return) override;
  int32_t FT_UploadFile(const quarn::stFileInfo& sFile) override;
  int32_t FT_DownloadFile(const quarn::stDownloadFileInfo& sFile) override;
  void FT_CopyFile(quarn::stFileInfo& _return, const std::string& sID) override;
  int32_t FT_Ack(const std::string& sID, const quarn::eFTAckType::type eType) override;
  int32_t FT_Acknowledge(const std::string& sID, const quarn::eFTAckType::type eType,
                         const quarn::eFTErrorType::type eError) override;
  void FT_GetStatus(quarn::stFileTransferStatus& _return, const std::string& sID) override;
  void FT_GetActiveSessions(std::vector<quarn::stSessionInfo>& _return) override;
  void FT_GetHistoryTime(std::vector<quarn::stFileHistory>& _return,
                         const std::string& sStartDate, const std::string& sEndDate) override;
  void FT_GetHistoryIndex(std::vector<quarn::stFileHistory>& _return,
                          const int32_t sStartIndex, const int32_t sEndIndex) override;
  void SYS_GetInterfaceList(std::vector<std::string>& _return) override;
  void SYS_GetPeerList(std::vector<quarn::stPeerDevice>& _return,
                       const std::string& sInterface) override;
  int32_t SYS_SetPeerList(const std::string& sInterface,
                          const std::vector<quarn::stPeerDevice>& stDevices) override;
  int32_t TEL_SendDTC(const std::string& sInterface, const std::string& sID,
                      const std::vector<quarn::stDTC>& stDTCs) override;
  int32_t TEL_SendCAN(const std::string& sFilter,
                      const std::vector<quarn::stCANDevice>& stDevices) override;
  int32_t TEL_SendGPS(const quarn::stGPSInfo& sGPSData) override;
  int32_t TEL_SendRTK(const std::vector<quarn::stRTKInfo>& stRTK) override;
  int32_t TEL_SendGeneric(const std::string& sType,
                          const std::vector<quarn::eDataType::type>& eType,
                          const std::vector<std::string>& sKey,
                          const std::vector<std::string>& sValue) override;
  void MGT_GetStatus(quarn::stMGTStatus& _return) override;
  int32_t MGT_SetConfig(const quarn::stMGTCfg& sCfg) override;
  void MGT_GetConfig(quarn::stMGTCfg& _return) override;
  void RTK_GetLockedSource(quarn::stRTKInfo& _return) override;
  void RTK_GetSources(std::vector<quarn::stRTKInfo>& _return) override;
  void JOB_GetList(std::vector<quarn::stJobInfo>& _return) override;
  void JOB_GetStatus(quarn::stJobStatus& _return, const std::string& sGUID) override;
  int32_t JOB_SendStatus(const std::string& sGUID, const std::string& sName,
                         const std::string& sStatus) override;
  int32_t JOB_Create(const quarn::stJobCreate& sJob) override;
  int32_t JOB_CreateExt(const quarn::stJobCreateExt& sJob) override;
  int32_t JOB_Join(const std::string& sGUID) override;
  int32_t JOB_Leave(const std::string& sGUID, const std::string& sDataGUID) override;
  int32_t JOB_RequestResources(const std::string& sGUID) override;
  void JOB_GetResources(std::vector<quarn::stJobResource>& _return,
                        const std::string& sGUID) override;

 private:
  void Report(const JsonLine& line) const;

  LineSink m_Sink;
};

#endif  // WANVOX_TOOLS_QUARNMON_QUARNMONITORHANDLER_H_
