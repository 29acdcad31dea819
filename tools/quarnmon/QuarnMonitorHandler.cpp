#include "tools/quarnmon/QuarnMonitorHandler.h"

#include "tools/quarnmon/JsonLine.h"

// Every method answers with the type's empty value: 0, false, "", an empty
// list or a record with nothing set. Only the call itself matters here.

using namespace quarn;

namespace {

JsonLine Call(const char* method) { return JsonLine("call", method); }

}  // namespace

QuarnMonitorHandler::QuarnMonitorHandler(LineSink sink) : m_Sink(std::move(sink)) {}

void QuarnMonitorHandler::Report(const JsonLine& line) const { m_Sink(line.Dump()); }

int32_t QuarnMonitorHandler::SetModemInfo(const stCellularInfo& sInfo) {
  JsonLine line("call", "SetModemInfo");
  const auto& set = sInfo.__isset;
  line.Add("model", sInfo.model);
  if (set.modemid) line.Add("modemid", sInfo.modemid);
  if (set.rssi) line.Add("rssi", sInfo.rssi);
  if (set.firmware) line.Add("firmware", sInfo.firmware);
  if (set.ip) line.Add("ip", sInfo.ip);
  if (set.roaming) line.Add("roaming", sInfo.roaming);
  if (set.phone_number) line.Add("phone_number", sInfo.phone_number);
  if (set.network_type) line.Add("network_type", sInfo.network_type);
  if (set.apn) line.Add("apn", sInfo.apn);
  if (set.sim_id) line.Add("sim_id", sInfo.sim_id);
  if (set.age_of_data) line.Add("age_of_data", sInfo.age_of_data);
  if (set.gps_mode) line.Add("gps_mode", sInfo.gps_mode);
  if (set.current_bands) line.Add("current_bands", sInfo.current_bands);
  if (set.device_type) line.Add("device_type", sInfo.device_type);
  if (set.modem_state) line.Add("modem_state", sInfo.modem_state);
  if (set.modem_error) line.Add("modem_error", sInfo.modem_error);
  if (set.modem_lte_registration_state) {
    line.Add("modem_lte_registration_state", sInfo.modem_lte_registration_state);
  }
  if (set.modem_sim_subscription_state) {
    line.Add("modem_sim_subscription_state", sInfo.modem_sim_subscription_state);
  }
  Report(line);
  return 0;
}

int32_t QuarnMonitorHandler::TEL_SendMDM(const stModemInfo& sModemInfo) {
  JsonLine line("call", "TEL_SendMDM");
  const auto& set = sModemInfo.__isset;
  line.Add("sModel", sModemInfo.sModel);
  if (set.sRSSI) line.Add("sRSSI", sModemInfo.sRSSI);
  if (set.OperatorCode) line.Add("OperatorCode", sModemInfo.OperatorCode);
  if (set.sRegState) line.Add("sRegState", sModemInfo.sRegState);
  if (set.sNetwork) line.Add("sNetwork", sModemInfo.sNetwork);
  if (set.sCurrentBands) line.Add("sCurrentBands", sModemInfo.sCurrentBands);
  Report(line);
  return 0;
}

void QuarnMonitorHandler::ping() { Report(Call("ping")); }

int32_t QuarnMonitorHandler::status(const int32_t id) {
  Report(Call("status").Add("id", id));
  return 0;
}

int32_t QuarnMonitorHandler::SendMsg(const eCategory::type Cat, const eTelematics::type Tel,
                                     const std::vector<eDataType::type>& eType,
                                     const std::vector<std::string>& sKey,
                                     const std::vector<std::string>& sValue) {
  Report(Call("SendMsg").Add("Cat", Cat).Add("Tel", Tel).Add("eType", eType)
             .Add("sKey", sKey).Add("sValue", sValue));
  return 0;
}

int32_t QuarnMonitorHandler::SendMsgRaw(const eCategory::type Cat, const int32_t SubCat,
                                        const std::vector<eDataType::type>& eType,
                                        const std::vector<std::string>& sKey,
                                        const std::vector<std::string>& sValue) {
  Report(Call("SendMsgRaw").Add("Cat", Cat).Add("SubCat", SubCat).Add("eType", eType)
             .Add("sKey", sKey).Add("sValue", sValue));
  return 0;
}

int32_t QuarnMonitorHandler::OTA_RefreshUpdateList() {
  Report(Call("OTA_RefreshUpdateList"));
  return 0;
}

void QuarnMonitorHandler::OTA_GetUpdateList(std::vector<stUpdateType>&) {
  Report(Call("OTA_GetUpdateList"));
}

void QuarnMonitorHandler::OTA_GetUpdateInfo(std::string&, const std::string& sVersion) {
  Report(Call("OTA_GetUpdateInfo").Add("sVersion", sVersion));
}

int32_t QuarnMonitorHandler::OTA_UpdateInitiate(const std::string& sVersion) {
  Report(Call("OTA_UpdateInitiate").Add("sVersion", sVersion));
  return 0;
}

int32_t QuarnMonitorHandler::OTA_UpdateInitiateType(const std::string& sVersion,
                                                    const eOTAType::type eType) {
  Report(Call("OTA_UpdateInitiateType").Add("sVersion", sVersion).Add("eType", eType));
  return 0;
}

int32_t QuarnMonitorHandler::OTA_Ack(const std::string& sessionID, const eAckType::type eType) {
  Report(Call("OTA_Ack").Add("sessionID", sessionID).Add("eType", eType));
  return 0;
}

void QuarnMonitorHandler::OTA_Status(stUpdateStatus&) { Report(Call("OTA_Status")); }

int32_t QuarnMonitorHandler::requestRemoteSupport(const int32_t width, const int32_t height) {
  Report(Call("requestRemoteSupport").Add("width", width).Add("height", height));
  return 0;
}

int32_t QuarnMonitorHandler::stopRemoteSupport() {
  Report(Call("stopRemoteSupport"));
  return 0;
}

void QuarnMonitorHandler::remoteSupportStatus(stRemoteSupportStatus&) {
  Report(Call("remoteSupportStatus"));
}

void QuarnMonitorHandler::getModemId(std::string&) { Report(Call("getModemId")); }

int32_t QuarnMonitorHandler::getSignalStrength() {
  Report(Call("getSignalStrength"));
  return 0;
}

bool QuarnMonitorHandler::getWanStatus() {
  Report(Call("getWanStatus"));
  return false;
}

bool QuarnMonitorHandler::getRoamingStatus() {
  Report(Call("getRoamingStatus"));
  return false;
}

void QuarnMonitorHandler::GetModemInfo(stCellularInfo&) { Report(Call("GetModemInfo")); }

int32_t QuarnMonitorHandler::SetGPSInfo(const stGPSInfo& sInfo) {
  Report(Call("SetGPSInfo").Add("sInfo", sInfo));
  return 0;
}

void QuarnMonitorHandler::GetGPSInfo(stGPSInfo&) { Report(Call("GetGPSInfo")); }

bool QuarnMonitorHandler::getCadrelConnectionStatus() {
  Report(Call("getCadrelConnectionStatus"));
  return false;
}

void QuarnMonitorHandler::getCadrelUUID(std::string&) { Report(Call("getCadrelUUID")); }

void QuarnMonitorHandler::getCadrelOwner(std::string&) { Report(Call("getCadrelOwner")); }

void QuarnMonitorHandler::getCadrelName(std::string&) { Report(Call("getCadrelName")); }

int32_t QuarnMonitorHandler::SetCadrelName(const std::string& sName) {
  Report(Call("SetCadrelName").Add("sName", sName));
  return 0;
}

void QuarnMonitorHandler::getCadrelSystemName(std::string&) {
  Report(Call("getCadrelSystemName"));
}

void QuarnMonitorHandler::getEULAVersion(std::string&) { Report(Call("getEULAVersion")); }

int32_t QuarnMonitorHandler::acceptEULA(const eEULAAcceptType::type eType) {
  Report(Call("acceptEULA").Add("eType", eType));
  return 0;
}

void QuarnMonitorHandler::FT_GetRemoteFileList(std::vector<stFileInfo>&) {
  Report(Call("FT_GetRemoteFileList"));
}

int32_t QuarnMonitorHandler::FT_UploadFile(const stFileInfo& sFile) {
  Report(Call("FT_UploadFile").Add("sFile", sFile));
  return 0;
}

int32_t QuarnMonitorHandler::FT_DownloadFile(const stDownloadFileInfo& sFile) {
  Report(Call("FT_DownloadFile").Add("sFile", sFile));
  return 0;
}

void QuarnMonitorHandler::FT_CopyFile(stFileInfo&, const std::string& sID) {
  Report(Call("FT_CopyFile").Add("sID", sID));
}

int32_t QuarnMonitorHandler::FT_Ack(const std::string& sID, const eFTAckType::type eType) {
  Report(Call("FT_Ack").Add("sID", sID).Add("eType", eType));
  return 0;
}

int32_t QuarnMonitorHandler::FT_Acknowledge(const std::string& sID, const eFTAckType::type eType,
                                            const eFTErrorType::type eError) {
  Report(Call("FT_Acknowledge").Add("sID", sID).Add("eType", eType).Add("eError", eError));
  return 0;
}

void QuarnMonitorHandler::FT_GetStatus(stFileTransferStatus&, const std::string& sID) {
  Report(Call("FT_GetStatus").Add("sID", sID));
}

void QuarnMonitorHandler::FT_GetActiveSessions(std::vector<stSessionInfo>&) {
  Report(Call("FT_GetActiveSessions"));
}

void QuarnMonitorHandler::FT_GetHistoryTime(std::vector<stFileHistory>&,
                                            const std::string& sStartDate,
                                            const std::string& sEndDate) {
  Report(Call("FT_GetHistoryTime").Add("sStartDate", sStartDate).Add("sEndDate", sEndDate));
}

void QuarnMonitorHandler::FT_GetHistoryIndex(std::vector<stFileHistory>&,
                                             const int32_t sStartIndex, const int32_t sEndIndex) {
  Report(Call("FT_GetHistoryIndex").Add("sStartIndex", sStartIndex).Add("sEndIndex", sEndIndex));
}

void QuarnMonitorHandler::SYS_GetInterfaceList(std::vector<std::string>&) {
  Report(Call("SYS_GetInterfaceList"));
}

void QuarnMonitorHandler::SYS_GetPeerList(std::vector<stPeerDevice>&,
                                          const std::string& sInterface) {
  Report(Call("SYS_GetPeerList").Add("sInterface", sInterface));
}

int32_t QuarnMonitorHandler::SYS_SetPeerList(const std::string& sInterface,
                                             const std::vector<stPeerDevice>& stDevices) {
  Report(Call("SYS_SetPeerList").Add("sInterface", sInterface).Add("stDevices", stDevices));
  return 0;
}

int32_t QuarnMonitorHandler::TEL_SendDTC(const std::string& sInterface, const std::string& sID,
                                         const std::vector<stDTC>& stDTCs) {
  Report(Call("TEL_SendDTC").Add("sInterface", sInterface).Add("sID", sID)
             .Add("stDTCs", stDTCs));
  return 0;
}

int32_t QuarnMonitorHandler::TEL_SendCAN(const std::string& sFilter,
                                         const std::vector<stCANDevice>& stDevices) {
  Report(Call("TEL_SendCAN").Add("sFilter", sFilter).Add("stDevices", stDevices));
  return 0;
}

int32_t QuarnMonitorHandler::TEL_SendGPS(const stGPSInfo& sGPSData) {
  Report(Call("TEL_SendGPS").Add("sGPSData", sGPSData));
  return 0;
}

int32_t QuarnMonitorHandler::TEL_SendRTK(const std::vector<stRTKInfo>& stRTK) {
  Report(Call("TEL_SendRTK").Add("stRTK", stRTK));
  return 0;
}

int32_t QuarnMonitorHandler::TEL_SendGeneric(const std::string& sType,
                                             const std::vector<eDataType::type>& eType,
                                             const std::vector<std::string>& sKey,
                                             const std::vector<std::string>& sValue) {
  Report(Call("TEL_SendGeneric").Add("sType", sType).Add("eType", eType).Add("sKey", sKey)
             .Add("sValue", sValue));
  return 0;
}

void QuarnMonitorHandler::MGT_GetStatus(stMGTStatus&) { Report(Call("MGT_GetStatus")); }

int32_t QuarnMonitorHandler::MGT_SetConfig(const stMGTCfg& sCfg) {
  Report(Call("MGT_SetConfig").Add("sCfg", sCfg));
  return 0;
}

void QuarnMonitorHandler::MGT_GetConfig(stMGTCfg&) { Report(Call("MGT_GetConfig")); }

void QuarnMonitorHandler::RTK_GetLockedSource(stRTKInfo&) {
  Report(Call("RTK_GetLockedSource"));
}

void QuarnMonitorHandler::RTK_GetSources(std::vector<stRTKInfo>&) {
  Report(Call("RTK_GetSources"));
}

void QuarnMonitorHandler::JOB_GetList(std::vector<stJobInfo>&) { Report(Call("JOB_GetList")); }

void QuarnMonitorHandler::JOB_GetStatus(stJobStatus&, const std::string& sGUID) {
  Report(Call("JOB_GetStatus").Add("sGUID", sGUID));
}

int32_t QuarnMonitorHandler::JOB_SendStatus(const std::string& sGUID, const std::string& sName,
                                            const std::string& sStatus) {
  Report(Call("JOB_SendStatus").Add("sGUID", sGUID).Add("sName", sName)
             .Add("sStatus", sStatus));
  return 0;
}

int32_t QuarnMonitorHandler::JOB_Create(const stJobCreate& sJob) {
  Report(Call("JOB_Create").Add("sJob", sJob));
  return 0;
}

int32_t QuarnMonitorHandler::JOB_CreateExt(const stJobCreateExt& sJob) {
  Report(Call("JOB_CreateExt").Add("sJob", sJob));
  return 0;
}

int32_t QuarnMonitorHandler::JOB_Join(const std::string& sGUID) {
  Report(Call("JOB_Join").Add("sGUID", sGUID));
  return 0;
}

int32_t QuarnMonitorHandler::JOB_Leave(const std::string& sGUID, const std::string& sDataGUID) {
  Report(Call("JOB_Leave").Add("sGUID", sGUID).Add("sDataGUID", sDataGUID));
  return 0;
}

int32_t QuarnMonitorHandler::JOB_RequestResources(const std::string& sGUID) {
  Report(Call("JOB_RequestResources").Add("sGUID", sGUID));
  return 0;
}

void QuarnMonitorHandler::JOB_GetResources(std::vector<stJobResource>&,
                                           const std::string& sGUID) {
  Report(Call("JOB_GetResources").Add("sGUID", sGUID));
}
