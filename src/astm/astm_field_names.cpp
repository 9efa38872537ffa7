#include "astm/astm_field_names.h"

#include <array>
#include <span>

namespace qelvor::astm {

namespace {

using Names = std::span<const std::string_view>;

constexpr std::string_view kHeader[] = {"Record Type ID",
                                        "Delimiter Definition",
                                        "Message Control ID",
                                        "Access Password",
                                        "Sender Name or ID",
                                        "Sender Street Address",
                                        "Reserved Field",
                                        "Sender Telephone Number",
                                        "Characteristics of Sender",
                                        "Receiver ID",
                                        "Comment or Special Instructions",
                                        "Processing ID",
                                        "Version Number",
                                        "Date and Time of Message"};

constexpr std::string_view kPatient[] = {"Record Type ID",
                                         "Sequence Number",
                                         "Practice Assigned Patient ID",
                                         "Laboratory Assigned Patient ID",
                                         "Patient ID Number 3",
                                         "Patient Name",
                                         "Mother's Maiden Name",
                                         "Birthdate",
                                         "Patient Sex",
                                         "Patient Race-Ethnic Origin",
                                         "Patient Address",
                                         "Reserved Field",
                                         "Patient Telephone Number",
                                         "Attending Physician ID",
                                         "Special Field 1",
                                         "Special Field 2",
                                         "Patient Height",
                                         "Patient Weight",
                                         "Patient's Known or Suspected Diagnosis",
                                         "Patient Active Medications",
                                         "Patient's Diet",
                                         "Practice Field No. 1",
                                         "Practice Field No. 2",
                                         "Admission and Discharge Dates",
                                         "Admission Status",
                                         "Location",
                                         "Nature of Alternative Diagnostic Code and Classifiers",
                                         "Alternative Diagnostic Code and Classification",
                                         "Patient Religion",
                                         "Marital Status",
                                         "Isolation Status",
                                         "Language",
                                         "Hospital Service",
                                         "Hospital Institution",
                                         "Dosage Category"};

constexpr std::string_view kOrder[] = {"Record Type ID",
                                       "Sequence Number",
                                       "Specimen ID",
                                       "Instrument Specimen ID",
                                       "Universal Test ID",
                                       "Priority",
                                       "Requested/Ordered Date and Time",
                                       "Specimen Collection Date and Time",
                                       "Collection End Time",
                                       "Collection Volume",
                                       "Collector ID",
                                       "Action Code",
                                       "Danger Code",
                                       "Relevant Clinical Information",
                                       "Date/Time Specimen Received",
                                       "Specimen Descriptor",
                                       "Ordering Physician",
                                       "Physician's Telephone Number",
                                       "User Field No. 1",
                                       "User Field No. 2",
                                       "Laboratory Field No. 1",
                                       "Laboratory Field No. 2",
                                       "Date/Time Results Reported or Last Modified",
                                       "Instrument Charge to Information System",
                                       "Instrument Section ID",
                                       "Report Types",
                                       "Reserved Field",
                                       "Location of Specimen Collection",
                                       "Nosocomial Infection Flag",
                                       "Specimen Service",
                                       "Specimen Institution"};

constexpr std::string_view kResult[] = {"Record Type ID",
                                        "Sequence Number",
                                        "Universal Test ID",
                                        "Data or Measurement Value",
                                        "Units",
                                        "Reference Ranges",
                                        "Result Abnormal Flags",
                                        "Nature of Abnormality Testing",
                                        "Result Status",
                                        "Date of Change in Instrument Normative Values or Units",
                                        "Operator Identification",
                                        "Date/Time Test Started",
                                        "Date/Time Test Completed",
                                        "Instrument Identification"};

constexpr std::string_view kComment[] = {"Record Type ID", "Sequence Number", "Comment Source",
                                         "Comment Text", "Comment Type"};

constexpr std::string_view kRequest[] = {"Record Type ID",
                                         "Sequence Number",
                                         "Starting Range ID Number",
                                         "Ending Range ID Number",
                                         "Universal Test ID",
                                         "Nature of Request Time Limits",
                                         "Beginning Request Results Date and Time",
                                         "Ending Request Results Date and Time",
                                         "Requesting Physician Name",
                                         "Requesting Physician Telephone Number",
                                         "User Field No. 1",
                                         "User Field No. 2",
                                         "Request Information Status Codes"};

constexpr std::string_view kTerminator[] = {"Record Type ID", "Sequence Number",
                                            "Termination Code"};

// Beyond its sequence number a manufacturer record is laid out by its maker.
constexpr std::string_view kManufacturer[] = {"Record Type ID", "Sequence Number"};

constexpr std::string_view kScientific[] = {"Record Type ID",
                                            "Sequence Number",
                                            "Analytical Method",
                                            "Instrumentation",
                                            "Reagents",
                                            "Units of Measure",
                                            "Quality Control",
                                            "Specimen Descriptor",
                                            "Reserved Field",
                                            "Container",
                                            "Specimen ID",
                                            "Analyte",
                                            "Result",
                                            "Result Units",
                                            "Collection Date and Time",
                                            "Result Date and Time",
                                            "Analytical Preprocessing Steps",
                                            "Patient Diagnosis",
                                            "Patient Birthdate",
                                            "Patient Sex",
                                            "Patient Race"};

struct RecordLayout {
    char type;
    std::string_view name;
    Names fields;
};

constexpr std::array kLayouts = {
    RecordLayout{'H', "Header", kHeader},
    RecordLayout{'P', "Patient", kPatient},
    RecordLayout{'O', "Order", kOrder},
    RecordLayout{'R', "Result", kResult},
    RecordLayout{'C', "Comment", kComment},
    RecordLayout{'Q', "Request Information", kRequest},
    RecordLayout{'L', "Terminator", kTerminator},
    RecordLayout{'M', "Manufacturer Information", kManufacturer},
    RecordLayout{'S', "Scientific", kScientific},
};

const RecordLayout* LayoutOf(char type) {
    for (const RecordLayout& layout : kLayouts) {
        if (layout.type == type) return &layout;
    }
    return nullptr;
}

}  // namespace

std::string_view AstmRecordName(char type) {
    const RecordLayout* layout = LayoutOf(type);
    return layout != nullptr ? layout->name : std::string_view();
}

std::string_view AstmFieldName(char type, size_t field) {
    const RecordLayout* layout = LayoutOf(type);
    if (layout == nullptr || field == 0 || field > layout->fields.size()) return {};
    return layout->fields[field - 1];
}

}  // namespace qelvor::astm
