#!/usr/bin/python3
"""The admin templates as Group Policy tools read them: exactly the machine values Pendlemark reads, under
its policy key, with every text and dialog they name present in the English resources.
    admin_templates_test.py <installer/policy>"""
import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
KEY = r"Software\Policies\Corvalis\Pendlemark"
# Policy: (value name, how it is written): text elements write REG_SZ; enabled/disabled values, decimal
# elements (with their range) and the items of an enum element REG_DWORD.
EXPECTED = {"PackageSigners": ("PackageSigners", "text"), "PackageProducts": ("PackageProducts", "text"),
            "RequireSignedFeed": ("RequireSignedFeed", "dword 1/0"), "Server": ("Server", "text"),
            "PathToFile": ("PathToFile", "text"), "PassiveFTP": ("PassiveFTP", "dword 1/0"),
            "EnableAutoUpdate": ("EnableAutoUpdate", "dword 1/0"),
            "AskForConfirmation": ("AskForConfirmation", "dword 1/0"),
            "UpdateChoice": ("UpdateChoice", "dword items 0,1"), "UpdateInterval": ("UpdateInterval", "dword 1-120")}
# The items of an enum, in order, name the settings dialog's choices of the same value.
CHOICES = {"UpdateChoice": ["Always Check on Startup", "Auto-Update every"]}


def main(folder):
    admx = ET.parse(folder + "/Pendlemark.admx").getroot()
    adml = ET.parse(folder + "/en-US/Pendlemark.adml").getroot()
    failures = []

    def check(condition, text):
        if not condition:
            failures.append(text)

    check(admx.tag == "{%s}policyDefinitions" % NS["p"], "the ADMX root is " + admx.tag)
    check(adml.tag == "{%s}policyDefinitionResources" % NS["p"], "the ADML root is " + adml.tag)
    check(admx.find("p:policyNamespaces/p:target", NS) is not None, "no target namespace")
    required = admx.find("p:resources", NS).get("minRequiredRevision")
    check(float(required) <= float(adml.get("revision")), "the ADML is older than the ADMX requires")

    strings = {s.get("id"): s.text or "" for s in adml.iterfind("p:resources/p:stringTable/p:string", NS)}
    found = {}
    for policy in admx.iterfind("p:policies/p:policy", NS):
        name = policy.get("name")
        check(policy.get("class") == "Machine", name + ": not a machine policy")
        check(policy.get("key") == KEY, name + ": key " + str(policy.get("key")))
        elements = policy.findall("p:elements/*", NS)
        if elements:
            check(len(elements) == 1, name + ": not one element")
            check(policy.get("valueName") is None, name + ": a value of its own beside the element")
            element, kind = elements[0], elements[0].tag.split("}")[1]
            if kind == "text":
                # REG_EXPAND_SZ is no text to Pendlemark: it would refuse every package, or be ignored.
                check(element.get("expandable", "false") == "false", name + ": expandable text")
                written = "text"
            elif kind == "decimal":
                check(element.get("storeAsText", "false") == "false", name + ": a number stored as text")
                written = "dword %s-%s" % (element.get("minValue", "0"), element.get("maxValue", "9999"))
            elif kind == "enum":
                items = list(element.iterfind("p:item", NS))
                values = [item.find("p:value/p:decimal", NS) for item in items]
                written = "dword items " + ",".join(v.get("value") if v is not None else "-" for v in values)
                labels = [strings.get(re.sub(r"^\$\(string\.(.*)\)$", r"\1", item.get("displayName")), "")
                          for item in items]
                expected = CHOICES.get(name, [])
                check(len(labels) == len(expected) and all(l.startswith(e) for l, e in zip(labels, expected)),
                      "%s: items %s, expected %s" % (name, labels, expected))
            else:
                written = kind
            found[name] = (element.get("valueName"), written)
        else:
            values = [policy.find("p:%s/p:decimal" % which, NS) for which in ("enabledValue", "disabledValue")]
            values = "/".join(value.get("value") if value is not None else "-" for value in values)
            found[name] = (policy.get("valueName"), "dword " + values)
    check(found == EXPECTED, "policies %s, expected %s" % (found, EXPECTED))

    # Every reference resolves: strings and presentations in the ADML, categories and support in the ADMX.
    presentations = {p.get("id"): p for p in adml.iterfind("p:resources/p:presentationTable/p:presentation", NS)}
    for element in admx.iter():
        for attribute, value in element.attrib.items():
            for kind, ref in re.findall(r"\$\((\w+)\.([^)]*)\)", value):
                known = strings if kind == "string" else presentations
                check(ref in known, "%s=%s unresolved" % (attribute, value))
    names = {c.get("name") for c in admx.iterfind("p:categories/p:category", NS)}
    names |= {d.get("name") for d in admx.iterfind("p:supportedOn/p:definitions/p:definition", NS)}
    for ref in admx.iterfind(".//p:parentCategory", NS), admx.iterfind(".//p:policy/p:supportedOn", NS):
        for element in ref:
            check(element.get("ref") in names, "reference to %s unresolved" % element.get("ref"))
    # Each box of a policy's dialog edits an element of that policy.
    for policy in admx.iterfind("p:policies/p:policy", NS):
        ids = {t.get("id") for t in policy.iterfind("p:elements/*", NS)}
        match = re.fullmatch(r"\$\(presentation\.(.*)\)", policy.get("presentation", ""))
        dialog = presentations.get(match.group(1), []) if match else []
        boxes = {box.get("refId") for box in dialog}
        check(boxes == ids, "%s: dialog boxes %s for texts %s" % (policy.get("name"), boxes, ids))

    for failure in failures:
        print("FAIL: " + failure)
    print("admin templates: %d policies, %d failures" % (len(found), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
