#!/usr/bin/python3
"""The admin templates as Group Policy tools read them: exactly the machine values Pendlemark reads, under
its policy key, with every text and dialog they name present in the English resources. What Pendlemark
reads comes from its registry table, the rows of src/system/RegistryTable.cpp, parsed here.
    admin_templates_test.py <installer/policy> <src/system/RegistryTable.cpp>"""
import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
# A row of the table: name, type, range, set by, wrong type, kept, missing value, member.
ROW = re.compile(r"\{ *VALUE\((\w+)\), *(Text|Dword|List), *(Any|\{(-?\d+), *(-?\d+)\}), *(User|Policy), *"
                 r"(AsMissing|FailsClosed), *(Saved|Loaded|Folder|Apart), *(\"[^\"]*\"|-?\d+), *"
                 r"(\{\}|&CSettings::\w+)\}, *(//.*)?")
# The items of an enum, in order, name the settings dialog's choices of the same value.
CHOICES = {"UpdateChoice": ["Always Check on Startup", "Auto-Update every"]}


def read_table(source, failures):
    """The policy key, and for each value a policy may set: (value name, how the templates write it). Text
    elements write REG_SZ; enabled/disabled values (a number of any value: on or off), decimal elements
    (with their range) and the items of an enum element (a range with the dialog's choices) REG_DWORD."""
    text = open(source, encoding="utf-8").read()
    key = re.search(r'kPolicyKeyPath\[\] = "([^"]*)";', text)
    rows = re.search(r"kRows\[\] = \{\n(.*?)\n\};", text, re.S)
    if not key or not rows:
        failures.append("no policy key or no rows in " + source)
        return "", {}
    expected = {}
    for line in rows.group(1).splitlines():
        line = line.strip()
        match = ROW.fullmatch(line)
        if not match:
            if line and not line.startswith("//"):
                failures.append("a row of the table not understood: " + line)
            continue
        name, kind, _, low, high, setter = match.groups()[:6]
        if setter != "Policy":
            continue
        if kind != "Dword":
            written = "text"
        elif low is None:
            written = "dword 1/0"
        elif name in CHOICES:
            written = "dword items " + ",".join(str(v) for v in range(int(low), int(high) + 1))
        else:
            written = "dword %s-%s" % (low, high)
        expected[name] = (name, written)
    if not expected:
        failures.append("no policy in the table")
    return key.group(1).replace("\\\\", "\\"), expected


def main(folder, table):
    admx = ET.parse(folder + "/Pendlemark.admx").getroot()
    adml = ET.parse(folder + "/en-US/Pendlemark.adml").getroot()
    failures = []
    key, wanted = read_table(table, failures)

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
        check(policy.get("key") == key, name + ": key " + str(policy.get("key")))
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
    check(found == wanted, "policies %s, expected %s" % (found, wanted))

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
    sys.exit(main(sys.argv[1], sys.argv[2]))
