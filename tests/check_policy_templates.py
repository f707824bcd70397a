"""Checks the Group Policy templates: well-formed XML, and exactly the key and values that the
launcher reads, with every text they refer to present in each language."""

import re
import unittest
import xml.etree.ElementTree as ET
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
POLICY = ROOT / "resources" / "policy"
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}


def launcher_reads():
    """The key and value names as src/launcher/policy.cpp spells them."""
    source = (ROOT / "src" / "launcher" / "policy.cpp").read_text()
    key = re.search(r'policyKey = R"\((.*?)\)"', source)[1]
    values = set(re.findall(r'(?:updateCheckValue|serviceUrlValue|publishersValue|checkPeriodValue|installScopeValue) = "(\w+)"', source))
    return key, values


class PolicyTemplates(unittest.TestCase):
    def test_set_exactly_what_the_launcher_reads(self):
        admx = ET.parse(POLICY / "klv-launcher.admx").getroot()
        key, values = launcher_reads()
        written = set()
        for policy in admx.iterfind(".//p:policy", NS):
            self.assertEqual(policy.get("key"), key)
            self.assertEqual(policy.get("class"), "Machine")
            written |= {element.get("valueName") for element in policy.iter() if element.get("valueName")}
        self.assertEqual({p.get("name") for p in admx.iterfind(".//p:policy", NS)}, values)
        self.assertEqual(written, values)
        self.assertEqual(admx.find(".//p:text", NS).get("maxLength"), "2048")
        # The longest period that the launcher takes (src/update/check_schedule.h).
        schedule = (ROOT / "src" / "update" / "check_schedule.h").read_text()
        longest = re.search(r"longestCheckPeriodMinutes = (\d+);", schedule)[1]
        self.assertEqual(admx.find(".//p:elements/p:decimal", NS).get("maxValue"), longest)

    def test_every_language_has_every_text(self):
        admx_text = (POLICY / "klv-launcher.admx").read_text(encoding="utf-8")
        strings = set(re.findall(r"\$\(string\.(\w+)\)", admx_text))
        presentations = set(re.findall(r"\$\(presentation\.(\w+)\)", admx_text))
        for language in ("en-US", "de-DE", "es-ES", "fr-FR", "nl-NL"):
            adml = ET.parse(POLICY / language / "klv-launcher.adml").getroot()
            self.assertEqual({s.get("id") for s in adml.iterfind(".//p:string", NS)}, strings, language)
            self.assertEqual({p.get("id") for p in adml.iterfind(".//p:presentation", NS)}, presentations, language)


if __name__ == "__main__":
    unittest.main(verbosity=2)
