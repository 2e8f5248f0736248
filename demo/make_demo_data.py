#!/usr/bin/env python3
# Writes demo/vnd03.csv: the demo classification of services (KOD, MEGNEV,
# LEIRAS) that `kestrel demo` loads. Deterministic: the same seed gives the
# same file. The texts are made up for this project.
import csv, os, random
random.seed(2003)
sections = [
 ("01", "Mezőgazdasági szolgáltatások", ["Talajelőkészítés", "Vetés és ültetés", "Növényvédelem", "Betakarítás", "Öntözés", "Állategészségügyi gondozás", "Nyírás és fejés", "Gépi földmunka"]),
 ("02", "Erdészeti szolgáltatások", ["Erdőtelepítés", "Fakitermelés", "Erdőápolás", "Csemetenevelés", "Erdővédelem", "Vadgazdálkodás"]),
 ("10", "Élelmiszer-ipari bérmunka", ["Húsfeldolgozás", "Tejtermékek előállítása", "Pékáru-sütés", "Gyümölcslé-préselés", "Zöldségtartósítás", "Cukrászati termékek"]),
 ("18", "Nyomdai szolgáltatások", ["Könyvnyomtatás", "Plakát- és szórólapnyomás", "Könyvkötés", "Digitális nyomtatás", "Címkenyomtatás", "Grafikai előkészítés"]),
 ("33", "Javítás és karbantartás", ["Gépjavítás", "Elektronikai javítás", "Hajójavítás", "Légijármű-karbantartás", "Ipari gépek üzembe helyezése", "Kazánjavítás"]),
 ("35", "Energiaszolgáltatás", ["Villamosenergia-elosztás", "Gázelosztás", "Távhőszolgáltatás", "Napelemes rendszerek üzemeltetése", "Energetikai tanácsadás"]),
 ("37", "Szennyvízkezelés", ["Szennyvízgyűjtés", "Szennyvíztisztítás", "Csatornatisztítás", "Szikkasztó ürítése"]),
 ("38", "Hulladékgazdálkodás", ["Kommunális hulladék gyűjtése", "Veszélyes hulladék kezelése", "Szelektív gyűjtés", "Újrahasznosítás", "Lomtalanítás", "Komposztálás"]),
 ("41", "Épületépítés", ["Lakóépület kivitelezése", "Ipari csarnok építése", "Épületfelújítás", "Műemlék-helyreállítás", "Előregyártott épületek szerelése"]),
 ("42", "Egyéb építmények építése", ["Útépítés", "Hídépítés", "Vasúti pálya építése", "Közműhálózat építése", "Vízépítés", "Sportpálya építése"]),
 ("43", "Szakipari munkák", ["Kőműves munka", "Villanyszerelés", "Víz- és gázszerelés", "Ácsmunka", "Tetőfedés", "Festés, mázolás", "Burkolás", "Üvegezés", "Hőszigetelés", "Állványozás"]),
 ("45", "Gépjármű-szolgáltatások", ["Gépjárműjavítás", "Gumiabroncs-szerelés", "Autómosás", "Karosszérialakatos munka", "Műszaki vizsgáztatás", "Autómentés"]),
 ("49", "Szárazföldi szállítás", ["Helyi személyszállítás", "Taxis személyszállítás", "Közúti áruszállítás", "Költöztetés", "Vasúti áruszállítás", "Csővezetékes szállítás"]),
 ("50", "Vízi szállítás", ["Tengeri áruszállítás", "Belvízi személyszállítás", "Kompjárat", "Vontatás"]),
 ("51", "Légi szállítás", ["Menetrend szerinti légi személyszállítás", "Légi áruszállítás", "Sétarepülés", "Mezőgazdasági repülés"]),
 ("52", "Raktározás", ["Hűtőházi raktározás", "Gabonatárolás", "Vámraktározás", "Rakodás", "Szállítmányozás"]),
 ("53", "Postai és futárszolgálat", ["Levélkézbesítés", "Csomagkézbesítés", "Futárszolgálat", "Expressz kézbesítés"]),
 ("55", "Szálláshely-szolgáltatás", ["Szállodai szolgáltatás", "Panziós szolgáltatás", "Kemping", "Diákszálló", "Falusi szálláshely"]),
 ("56", "Vendéglátás", ["Éttermi vendéglátás", "Rendezvényi étkeztetés", "Közétkeztetés", "Italszolgáltatás", "Mozgó büfé", "Cukrászda"]),
 ("58", "Kiadói tevékenység", ["Könyvkiadás", "Napilapkiadás", "Folyóiratkiadás", "Szoftverkiadás", "Térképkiadás"]),
 ("59", "Film- és hangfelvétel", ["Filmgyártás", "Utómunka", "Filmforgalmazás", "Hangfelvétel készítése", "Mozifilm-vetítés"]),
 ("61", "Távközlés", ["Vezetékes távközlés", "Mobil távközlés", "Internet-hozzáférés", "Műholdas távközlés"]),
 ("62", "Információ-technológiai szolgáltatás", ["Szoftverfejlesztés", "Informatikai tanácsadás", "Számítógép-üzemeltetés", "Rendszerintegráció", "Adatmentés", "Hálózattelepítés"]),
 ("63", "Információs szolgáltatás", ["Adatfeldolgozás", "Webhely-szolgáltatás", "Hírügynökség", "Tárhely-szolgáltatás"]),
 ("64", "Pénzügyi szolgáltatás", ["Betétgyűjtés", "Hitelnyújtás", "Pénzügyi lízing", "Faktorálás", "Befektetési alapkezelés"]),
 ("65", "Biztosítás", ["Életbiztosítás", "Vagyonbiztosítás", "Gépjármű-biztosítás", "Viszontbiztosítás", "Nyugdíjpénztári szolgáltatás"]),
 ("68", "Ingatlanügyletek", ["Ingatlan-bérbeadás", "Ingatlanközvetítés", "Ingatlankezelés", "Társasházkezelés", "Értékbecslés"]),
 ("69", "Jogi és számviteli szolgáltatás", ["Ügyvédi tevékenység", "Közjegyzői tevékenység", "Könyvelés", "Könyvvizsgálat", "Adótanácsadás", "Bérszámfejtés"]),
 ("70", "Üzletviteli tanácsadás", ["Vezetői tanácsadás", "Közönségkapcsolati tanácsadás", "Minőségügyi tanácsadás", "Pályázatírás"]),
 ("71", "Építészmérnöki szolgáltatás", ["Építészeti tervezés", "Statikai tervezés", "Földmérés", "Műszaki ellenőrzés", "Anyagvizsgálat", "Geológiai kutatás"]),
 ("72", "Kutatás-fejlesztés", ["Biotechnológiai kutatás", "Műszaki kutatás", "Társadalomtudományi kutatás", "Agrárkutatás"]),
 ("73", "Reklám és piackutatás", ["Reklámügynöki tevékenység", "Médiareklám", "Piac- és közvélemény-kutatás", "Óriásplakát-kihelyezés"]),
 ("74", "Egyéb szakmai szolgáltatás", ["Divattervezés", "Fényképészet", "Fordítás, tolmácsolás", "Belsőépítészet", "Grafikai tervezés"]),
 ("75", "Állat-egészségügyi ellátás", ["Kisállat-rendelés", "Nagyállat-gyógyítás", "Állatpanzió", "Kutyakozmetika"]),
 ("77", "Kölcsönzés", ["Gépkocsikölcsönzés", "Építőgép-kölcsönzés", "Sporteszköz-kölcsönzés", "Videokölcsönzés", "Irodagép-kölcsönzés"]),
 ("78", "Munkaerőpiaci szolgáltatás", ["Munkaközvetítés", "Munkaerő-kölcsönzés", "Fejvadászat"]),
 ("79", "Utazásszervezés", ["Utazásközvetítés", "Utazásszervezés", "Idegenvezetés", "Jegyfoglalás"]),
 ("80", "Biztonsági szolgáltatás", ["Személy- és vagyonőrzés", "Biztonsági rendszerek felügyelete", "Magánnyomozás", "Pénzszállítás"]),
 ("81", "Épületüzemeltetés", ["Takarítás", "Ablaktisztítás", "Kártevőirtás", "Kertépítés és -fenntartás", "Hóeltakarítás", "Kéményseprés"]),
 ("82", "Adminisztratív szolgáltatás", ["Titkársági szolgáltatás", "Telefonos ügyfélszolgálat", "Konferenciaszervezés", "Követeléskezelés", "Csomagolás"]),
 ("85", "Oktatás", ["Óvodai nevelés", "Alapfokú oktatás", "Középfokú oktatás", "Felsőfokú oktatás", "Nyelvoktatás", "Gépjárművezető-képzés", "Zeneoktatás", "Felnőttképzés"]),
 ("86", "Humán-egészségügyi ellátás", ["Fekvőbeteg-ellátás", "Háziorvosi ellátás", "Szakorvosi járóbeteg-ellátás", "Fogorvosi ellátás", "Mentés", "Gyógytorna"]),
 ("87", "Bentlakásos ellátás", ["Idősek otthona", "Fogyatékosok otthona", "Hajléktalanszálló"]),
 ("88", "Szociális ellátás", ["Házi segítségnyújtás", "Bölcsődei ellátás", "Családsegítés", "Nappali ellátás"]),
 ("90", "Alkotó- és előadóművészet", ["Színházi előadás", "Koncertszervezés", "Képzőművészeti alkotás", "Művészeti létesítmények üzemeltetése"]),
 ("91", "Könyvtár, levéltár, múzeum", ["Könyvtári szolgáltatás", "Levéltári szolgáltatás", "Múzeumi szolgáltatás", "Állatkert és növénykert", "Természetvédelem"]),
 ("93", "Sport és szabadidő", ["Sportlétesítmény működtetése", "Fitneszközpont", "Vidámpark", "Strand és uszoda", "Sporteseményszervezés"]),
 ("95", "Személyi és háztartási cikkek javítása", ["Számítógépjavítás", "Híradástechnikai javítás", "Háztartási gépek javítása", "Cipőjavítás", "Bútorjavítás", "Órajavítás", "Kerékpárjavítás"]),
 ("96", "Egyéb személyi szolgáltatás", ["Textiltisztítás", "Fodrászat", "Kozmetika", "Temetkezés", "Szolárium és szauna", "Esküvőszervezés"]),
]
openers = [
 "A szolgáltatás magában foglalja {x} minden szakszerű munkafolyamatát.",
 "Ide tartozik {x} megrendelésre vagy szerződéses alapon végzett formája.",
 "E szakágazatba sorolandó {x}, függetlenül attól, hogy a megrendelő magánszemély vagy gazdálkodó szervezet.",
]
middles = [
 "Ide tartozik a munkák előkészítése, az anyagok és eszközök biztosítása, valamint a helyszíni ellenőrzés.",
 "A szolgáltatást végezheti egyéni vállalkozó, gazdasági társaság vagy költségvetési szerv is.",
 "Nem tartozik ide a saját célra végzett tevékenység, sem a kizárólag kereskedelmi jellegű közvetítés.",
 "Az elvégzett munkáról a szolgáltató írásos dokumentációt készít, amelyet a megrendelő „átvételi jegyzőkönyv” formájában igazol.",
 "A tevékenység engedélyhez kötött lehet; az engedélyt a területileg illetékes hatóság adja ki.",
 "A díjazás óradíj, darabár vagy átalánydíj alapján történik, a felek megállapodása szerint.",
 "Különösen ide sorolandók a következők:\n– a helyszíni felmérés és árajánlat készítése,\n– a munka elvégzése és dokumentálása,\n– a garanciális utógondozás.",
 "Az ágazat szolgáltatásait a \"minőségügyi\" előírások szerint kell nyújtani; a panaszokat a fogyasztóvédelmi hatóság vizsgálja.",
 "Ez a besorolás a szolgáltatás fő jellegén alapul: ha több tevékenység keveredik, a legnagyobb hozzáadott értékű határozza meg a kódot.",
]
notKinds = ["Nem tartozik ide: a kapcsolódó termékek gyártása (lásd a megfelelő ipari ágazatot).",
            "Nem tartozik ide: a nagykereskedelmi értékesítés.",
            "Nem tartozik ide: a kizárólag oktatási célú bemutató."]
rows=[]
for sec, secname, items in sections:
    rows.append((sec, secname, "A(z) „%s” főcsoport a %s kódú szolgáltatásokat foglalja össze.\r\nA részletes tételeket az alcsoportok tartalmazzák." % (secname, sec)))
    for i, item in enumerate(items, 1):
        code = "%s.%02d" % (sec, i*10 if False else i)
        for sub in range(1, random.choice([2,2,3,4])):
            kod = "%s.%d" % (code, sub)
            suffixes = [x for x in ["kiegészítő szolgáltatás", "szaktanácsadás", "sürgősségi ellátás", "időszakos karbantartás", "egyedi megrendelés", "'kiemelt' szolgáltatás", "kisebb munkák", "bérmunka"] if len(item) + 3 + len(x) <= 40]
            name = item if sub == 1 else "%s – %s" % (item, random.choice(suffixes)) if suffixes else ("%s %d." % (item, sub))[:40]
            assert len(name) <= 40, name
            r = random.random()
            if r < 0.06:
                desc = ""
            else:
                parts = [random.choice(openers).format(x=item.lower())]
                n = random.choice([1,2,3,6,9]) if r > 0.3 else random.choice([1,2])
                parts += random.sample(middles, min(n, len(middles)))
                if random.random() < 0.4: parts.append(random.choice(notKinds))
                desc = "\r\n".join(parts).replace("\n–", "\r\n–").replace("\r\r", "\r")
            rows.append((kod, name, desc))
rows.sort(key=lambda r: random.random())
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'vnd03.csv'), 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f, lineterminator='\r\n')
    w.writerow(["KOD","MEGNEV","LEIRAS"])
    for r in rows: w.writerow(r)
